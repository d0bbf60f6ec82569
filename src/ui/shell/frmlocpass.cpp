#include "shell/frmlocpass.h"

#include "admin/adminstore.h"
#include "shell/applymenus.h"
#include "shell/mdiform1.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>

frmLocPass::frmLocPass(QWidget* parent)
    : qv::MdiChild(parent)
{
    setObjectName(QStringLiteral("frmLocPass"));
    setWindowTitle(QStringLiteral("Password:-"));

    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // '*'
    cmdOK = new QPushButton(QStringLiteral("&Ok"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(16, 14, 16, 12);
    auto* label = new QLabel(QStringLiteral("Password"), this);
    label->setBuddy(txtPassword);
    grid->addWidget(label, 0, 0);
    grid->addWidget(txtPassword, 0, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    grid->addLayout(buttons, 1, 0, 1, 2);
    txtPassword->setMinimumWidth(180);

    connect(txtPassword, &QLineEdit::returnPressed, this, &frmLocPass::cmdOK_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmLocPass::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLocPass::cmdCancel_Click);
    txtPassword->setFocus();
}

void frmLocPass::aimAt(Target t)
{
    // The flags are never lowered behind the gate, so each entry lowers the others it owns:
    // an earlier "Set Menus" must not turn a later "Add Users" into the rights window.
    OpenMenusAfterLock = t == Target::Menus;
    OpenUsersAfterLock = t == Target::Users;
    OpenRemoveDataAfterLock = t == Target::RemoveData;
    OpenLockPeriodAfterLock = t == Target::LockPeriod;
    OpenImportAfterLock = t == Target::Import;
}

void frmLocPass::onActivated()
{
    txtPassword->clear();
    txtPassword->setFocus();
}

void frmLocPass::cmdOK_Click()
{
    const QString typed = txtPassword->text();
    if (typed.isEmpty()) {
        qv::Msg::info(QStringLiteral("please enter your password"));
        txtPassword->setFocus();
        return;
    }
    bool right = false;
    if (!qv::guarded([&] { right = qv::LockStore(Conn).passwordMatches(typed); }, txtPassword))
        return;
    if (!right) {
        qv::Msg::info(QStringLiteral("please check your password"));
        txtPassword->clear();
        txtPassword->setFocus();
        return;
    }
    m_applyMenusOnClose = false; // the window behind the gate takes over; rights apply when it closes
    unload();
    openTarget();
}

void frmLocPass::openTarget()
{
    MDIForm1* main = MDIForm1::instance();
    if (!main)
        return;
    if (OpenAccountsAfterLock) {
        if (qv::MdiChild* w = qv::Windows::open(QStringLiteral("frmAccount")); w && w->subWindow()) {
            w->subWindow()->showMaximized();
            main->mdiArea()->setActiveSubWindow(w->subWindow());
            w->setFocus();
        }
    } else if (OpenMenusAfterLock) {
        qv::Windows::open(QStringLiteral("frmSecMenus"));
    } else if (OpenUsersAfterLock) {
        qv::Windows::open(QStringLiteral("frmAddUsers"));
    } else if (OpenRemoveDataAfterLock) {
        qv::Windows::open(QStringLiteral("frmRemoveData"));
    } else if (OpenLockPeriodAfterLock) {
        qv::Windows::open(QStringLiteral("frmLockPeriod"));
    } else if (OpenImportAfterLock) {
        qv::Windows::open(QStringLiteral("frmImport"));
    }
    // Nothing opened and nothing else open: an empty frame would hide the home panel for no window.
    for (QMdiSubWindow* sw : main->mdiArea()->subWindowList())
        if (sw->isVisible() && sw->widget() != this)
            return;
    main->showHomePanel();
}

void frmLocPass::cmdCancel_Click()
{
    if (OpenedForCaller) {
        hideWindow(); // the finder that showed the gate is still in charge
        return;
    }
    unload(); // closing runs ApplyMenus
}
