#include "shell/frmaddusers.h"

#include "admin/adminstore.h"
#include "shell/mdl_connection.h"
#include "widgets/keys.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"
#include "widgets/status.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QLineEdit* passwordBox(QWidget* parent, const char* name)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setEchoMode(QLineEdit::Password);
    e->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    return e;
}
} // namespace

frmAddUsers::frmAddUsers(QWidget* parent)
    : qv::MdiChild(parent)
{
    setObjectName(QStringLiteral("frmAddUsers"));
    setWindowTitle(QStringLiteral("Add Users"));

    auto* frame = new QGroupBox(QStringLiteral("Logins"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    lstUsers = new QListWidget(frame);
    lstUsers->setObjectName(QStringLiteral("lstUsers"));
    lstUsers->setMinimumSize(180, 200);
    (new QVBoxLayout(frame))->addWidget(lstUsers);

    txtUserName = new QLineEdit(this);
    txtUserName->setObjectName(QStringLiteral("txtUserName"));
    txtUserName->setMaxLength(63);
    txtPassword = passwordBox(this, "txtPassword");
    txtConfirm = passwordBox(this, "txtConfirm");
    for (QLineEdit* e : {txtUserName, txtPassword, txtConfirm})
        qv::enterAsTab(e);

    cmdAdd = new QPushButton(QStringLiteral("&Add"), this);
    cmdAdd->setObjectName(QStringLiteral("cmdAdd"));
    cmdChange = new QPushButton(QStringLiteral("C&hange Password"), this);
    cmdChange->setObjectName(QStringLiteral("cmdChange"));
    cmdRemove = new QPushButton(QStringLiteral("&Remove"), this);
    cmdRemove->setObjectName(QStringLiteral("cmdRemove"));
    cmdExit = new QPushButton(QStringLiteral("E&xit"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    lblWhere = new QLabel(this);
    lblWhere->setObjectName(QStringLiteral("lblWhere"));
    lblWhere->setWordWrap(true);
    lblWhere->setText(Conn.backend() == qv::Backend::Sqlite
                          ? QStringLiteral("Logins of this database file.")
                          : QStringLiteral("Server logins that belong to the program's group."));

    auto* form = new QGridLayout;
    const char* labels[] = {"&User Name", "&Password", "Con&firm Password"};
    QLineEdit* boxes[] = {txtUserName, txtPassword, txtConfirm};
    for (int i = 0; i < 3; ++i) {
        auto* l = new QLabel(QString::fromLatin1(labels[i]), this);
        l->setBuddy(boxes[i]);
        form->addWidget(l, i, 0);
        form->addWidget(boxes[i], i, 1);
    }
    form->setRowStretch(3, 1);
    form->addWidget(lblWhere, 4, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdAdd);
    buttons->addWidget(cmdChange);
    buttons->addWidget(cmdRemove);
    buttons->addStretch(1);
    buttons->addWidget(cmdExit);
    auto* top = new QHBoxLayout;
    top->addWidget(frame);
    top->addLayout(form, 1);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(top);
    lay->addLayout(buttons);

    connect(lstUsers, &QListWidget::currentTextChanged, this, [this](const QString& name) {
        if (name.isEmpty())
            return;
        txtUserName->setText(name);
        txtPassword->clear();
        txtConfirm->clear();
    });
    connect(cmdAdd, &QPushButton::clicked, this, &frmAddUsers::cmdAdd_Click);
    connect(cmdChange, &QPushButton::clicked, this, &frmAddUsers::cmdChange_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmAddUsers::cmdRemove_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmAddUsers::unload);

    FillGrid();
    txtUserName->setFocus();
}

void frmAddUsers::FillGrid()
{
    lstUsers->clear();
    qv::guarded([this] {
        const QStringList managers = qv::Logins::managers(Conn);
        for (const QString& name : qv::Logins::list(Conn)) {
            auto* item = new QListWidgetItem(name, lstUsers);
            QStringList notes;
            if (name == LoginUser) {
                QFont f = item->font();
                f.setBold(true);
                item->setFont(f);
                notes << QStringLiteral("logged in now");
            }
            if (managers.contains(name))
                notes << QStringLiteral("manages this book");
            item->setToolTip(notes.join(QStringLiteral("; ")));
        }
    });
}

void frmAddUsers::ClearAll()
{
    lstUsers->setCurrentRow(-1);
    txtUserName->clear();
    txtPassword->clear();
    txtConfirm->clear();
    txtUserName->setFocus();
}

QString frmAddUsers::typedName() const
{
    return txtUserName->text().trimmed();
}

void frmAddUsers::refuse(const QString& text, QLineEdit* focus)
{
    qv::Msg::info(text);
    if (focus != txtUserName) {
        txtPassword->clear();
        txtConfirm->clear();
    }
    focus->setFocus();
}

void frmAddUsers::cmdAdd_Click()
{
    const QString name = typedName();
    bool added = false;
    qv::guarded(
        [&] {
            const QString pwErr = qv::UserStore::checkPasswords(txtPassword->text(), txtConfirm->text());
            if (const QString err = qv::UserStore(Conn).checkNew(name, txtPassword->text(), txtConfirm->text());
                !err.isEmpty())
                return refuse(err, err == pwErr ? txtPassword : txtUserName);
            qv::UserStore(Conn).add(name, txtPassword->text());
            added = true;
        },
        QStringLiteral("The user \"%1\" was not added:\n").arg(name) + QStringLiteral("%1"));
    if (!added)
        return;
    qv::Msg::info(QStringLiteral("The user \"%1\" has been added.").arg(name));
    FillGrid();
    ClearAll();
}

void frmAddUsers::cmdChange_Click()
{
    const QString name = typedName();
    const QString password = txtPassword->text();
    bool changed = false;
    qv::guarded(
        [&] {
            if (const QString err = qv::UserStore(Conn).checkPasswordChange(name, LoginUser); !err.isEmpty())
                return refuse(err, txtUserName);
            if (const QString err = qv::UserStore::checkPasswords(password, txtConfirm->text()); !err.isEmpty())
                return refuse(err, txtPassword);
            qv::UserStore(Conn).changePassword(name, password);
            changed = true;
        },
        QStringLiteral("The password of \"%1\" was not changed:\n").arg(name) + QStringLiteral("%1"));
    if (!changed)
        return;
    // The reports log on with the login in use: keep its password current.
    if (name == LoginUser) {
        LoginPassword = password;
        Conn.setProperty(QStringLiteral("Password"), password);
    }
    qv::Msg::info(QStringLiteral("The password of \"%1\" has been changed.").arg(name));
    ClearAll();
}

void frmAddUsers::cmdRemove_Click()
{
    const QString name = typedName();
    bool removed = false;
    qv::guarded(
        [&] {
            if (const QString err = qv::UserStore(Conn).checkRemoval(name, LoginUser); !err.isEmpty())
                return refuse(err, txtUserName);
            if (!qv::Msg::askDestructive(QStringLiteral("are you sure remove the user \"%1\"").arg(name), {},
                                         qv::Msg::Icon::Question))
                return;
            qv::UserStore(Conn).remove(name, LoginUser);
            removed = true;
        },
        QStringLiteral("The user \"%1\" was not removed:\n").arg(name) + QStringLiteral("%1"));
    if (!removed)
        return;
    qv::Status::say(QStringLiteral("User %1 removed").arg(name));
    qv::Msg::info(QStringLiteral("The user \"%1\" has been removed.").arg(name));
    FillGrid();
    ClearAll();
}
