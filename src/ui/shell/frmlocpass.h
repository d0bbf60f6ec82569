#pragma once
// The password gate in front of the administrative windows. The caller sets the flag of the
// window wanted behind it (OpenAccountsAfterLock, OpenMenusAfterLock, OpenUsersAfterLock,
// OpenRemoveDataAfterLock) and shows the gate; a password found in `LctPswd` opens that window.
#include "shell/mdichild.h"

class QLineEdit;
class QPushButton;

class frmLocPass : public qv::MdiChild {
    Q_OBJECT
public:
    explicit frmLocPass(QWidget* parent = nullptr);

    enum class Target { Menus, Users, RemoveData, LockPeriod, Import };
    // The main window's administrative entries raise the one flag of `t`; the entry then opens
    // the gate ("frmLocPass", at Left 5000, Top 3000).
    static void aimAt(Target t);

    void onActivated() override;
    void cmdOK_Click();
    void cmdCancel_Click();

private:
    void openTarget();

    QLineEdit* txtPassword;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
};
