#pragma once
// The password gate in front of the administrative windows. The caller sets the flag of the
// window wanted behind it (OpenAccountsAfterLock, OpenMenusAfterLock, OpenUsersAfterLock,
// OpenRemoveDataAfterLock) and shows the gate; a password found in `LctPswd` opens that window.
#include "shell/mdichild.h"

class MDIForm1;
class QLineEdit;
class QPushButton;

class frmLocPass : public qv::MdiChild {
    Q_OBJECT
public:
    explicit frmLocPass(QWidget* parent = nullptr);

    enum class Target { Menus, Users, RemoveData };
    // The main window's administrative entries: raise the one flag of `t`, then show the gate.
    static void showFor(MDIForm1* main, Target t);
    // Shows the gate (a loaded one comes back) at Left 5000, Top 3000.
    static void showGate(MDIForm1* main);

    void onActivated() override;
    void cmdOK_Click();
    void cmdCancel_Click();

private:
    void openTarget(MDIForm1* main);

    QLineEdit* txtPassword;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
};
