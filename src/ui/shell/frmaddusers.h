#pragma once
// "Add Users": the database's logins. Adds a login (password typed twice), changes a login's
// password (a manager's by that login only), removes a login (never the one in use, the last
// one or a manager). Embedded: the Logins table, managed by its first login; a server: roles
// in the program's group role.
#include "shell/mdichild.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class frmAddUsers : public qv::MdiChild {
    Q_OBJECT
public:
    explicit frmAddUsers(QWidget* parent = nullptr);

    // Lists the logins; the one in use in bold.
    void FillGrid();
    void ClearAll();
    void cmdAdd_Click();
    void cmdChange_Click();
    void cmdRemove_Click();

private:
    // Shows a refusal; puts the focus where the user has to act.
    void refuse(const QString& text, QLineEdit* focus);
    QString typedName() const;

    QListWidget* lstUsers;
    QLineEdit* txtUserName;
    QLineEdit* txtPassword;
    QLineEdit* txtConfirm;
    QPushButton* cmdAdd;
    QPushButton* cmdChange;
    QPushButton* cmdRemove;
    QPushButton* cmdExit;
    QLabel* lblWhere;
};
