#include "shell/frmlogin.h"

#include "db/logins.h"
#include "db/provision.h"
#include "db/schema.h"
#include "shell/autobackup.h"
#include "shell/display.h"
#include "shell/homepicture.h"
#include "shell/mdiform1.h"
#include "shell/mdl_connection.h"
#include "session/servertxt.h"
#include "vouchers/demovouchers.h"
#include "widgets/keyrules.h"
#include "widgets/msgbox.h"

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>

std::function<void()> frmLogin::endProgram = [] { QCoreApplication::exit(0); };

namespace {
bool askResolution(const QString& text, const QString& title)
{
    return qv::Msg::askYesNo(text, title, qv::Msg::Icon::Question);
}
} // namespace

frmLogin::frmLogin(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("frmLogin"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Log In:-"));
    QApplication::setWindowIcon(qv::programIcon());
    setWindowIcon(qv::programIcon());

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(18, 14, 18, 14);
    grid->setHorizontalSpacing(10);
    auto* logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("flashKVLogo"));
    logo->setPixmap(qv::homePicture(QSize(300, 150)));
    grid->addWidget(logo, 0, 0, 1, 3, Qt::AlignCenter);
    auto* heading = new QLabel(QStringLiteral("Log In"), this);
    heading->setObjectName(QStringLiteral("Image1"));
    heading->setFont(QFont(QStringLiteral("DejaVu Serif"), 16, QFont::Bold));
    heading->setStyleSheet(QStringLiteral("color:#1f4e79"));
    grid->addWidget(heading, 1, 0, 1, 3);

    txtServer = new QLineEdit(QStringLiteral("."), this);
    txtServer->setObjectName(QStringLiteral("txtServer"));
    cboUsers = new QComboBox(this);
    cboUsers->setObjectName(QStringLiteral("cboUsers"));
    cboUsers->setEditable(true);
    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // '*' for each character
    grid->addWidget(new QLabel(QStringLiteral("Server:"), this), 2, 0);
    grid->addWidget(txtServer, 2, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("User ID:"), this), 3, 0);
    grid->addWidget(cboUsers, 3, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Password:"), this), 4, 0);
    grid->addWidget(txtPassword, 4, 1, 1, 2);

    cmdLogIn = new QPushButton(QStringLiteral("&Login"), this);
    cmdLogIn->setObjectName(QStringLiteral("cmdLogIn"));
    cmdCancel = new QPushButton(QStringLiteral("E&xit"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    grid->addWidget(cmdLogIn, 5, 1);
    grid->addWidget(cmdCancel, 5, 2);
    connect(cmdLogIn, &QPushButton::clicked, this, &frmLogin::cmdLogIn_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLogin::cmdCancel_Click);
    // The combo box holds the focus for its line edit, so keys reach it first.
    cboUsers->installEventFilter(this);
    cboUsers->lineEdit()->installEventFilter(this);
    txtPassword->installEventFilter(this);
    // Coming back to the password (after "Login Error", say) selects it, so typing replaces it.
    qv::selectAllOnFocus(txtPassword);
    qv::enterPressesButtons(this);

    // Load.
    SetResulation();
    // The station's last user first, then "sa".
    const QString last = QSettings().value(lastUserKey()).toString();
    if (!last.isEmpty() && last != QLatin1String("sa"))
        cboUsers->addItem(last);
    cboUsers->addItem(QStringLiteral("sa"));
    cboUsers->setEditText(last.isEmpty() ? QStringLiteral("sa") : last);
    txtServer->setText(qv::readServerFile(ProgramFolder()));
    setTabOrder(cboUsers, txtPassword);
    setTabOrder(txtPassword, cmdLogIn);
    setTabOrder(cmdLogIn, cmdCancel);
    setTabOrder(cmdCancel, txtServer);
    cboUsers->setFocus();
    cboUsers->lineEdit()->selectAll();
    setFixedSize(sizeHint().expandedTo(QSize(360, 0)));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void frmLogin::SetResulation()
{
    qv::changeResolution(1024, 768, askResolution);
}

void frmLogin::setDefautResulation()
{
    qv::changeResolution(ScreenWidth, ScreenHeight, askResolution);
}

bool frmLogin::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int k = static_cast<QKeyEvent*>(event)->key();
        if (k == Qt::Key_Return || k == Qt::Key_Enter) {
            if (watched == cboUsers || watched == cboUsers->lineEdit()) {
                txtPassword->setFocus();
                return true;
            }
            if (watched == txtPassword) {
                cmdLogIn_Click();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

namespace {
// The folders that making `path` would create, deepest first.
QStringList missingFolders(const QString& path)
{
    QStringList out;
    // QDir::cdUp() refuses to step into a folder that does not exist: walk the names instead.
    for (QString dir = QFileInfo(path).absolutePath(); !QFileInfo::exists(dir) && dir != QLatin1String("/");
         dir = QFileInfo(dir).absolutePath())
        out << dir;
    return out;
}

// Takes away the folders a failed first run made. A failed set-up leaves no book file; a file
// there now is another station's and stays.
void removeFirstRun(const QStringList& madeFolders)
{
    for (const QString& dir : madeFolders)
        QDir().rmdir(dir); // only when empty
}
} // namespace

std::optional<QString> frmLogin::askLockPassword()
{
    const QString title = QStringLiteral("New Database");
    for (;;) {
        const std::optional<QString> first = qv::Msg::askText(
            QStringLiteral("Lock password (asked before \"Set Menus\" and other administrative windows):"), title,
            true);
        if (!first)
            return std::nullopt;
        if (first->isEmpty()) {
            qv::Msg::info(QStringLiteral("The lock password cannot be empty: it guards \"Set Menus\", \"Add Users\", "
                                         "\"Remove Data\" and \"Add Accounts\". Please type one."),
                          title);
            continue;
        }
        if (const QString err = qv::Provision::lockPasswordProblem(*first); !err.isEmpty()) {
            qv::Msg::info(err, title);
            continue;
        }
        const std::optional<QString> again =
            qv::Msg::askText(QStringLiteral("Type the lock password again:"), title, true);
        if (!again)
            return std::nullopt;
        if (*again == *first)
            return first;
        qv::Msg::info(QStringLiteral("The two lock passwords differ. Please type it twice again."), title);
    }
}

frmLogin::FirstRun frmLogin::offerNewDatabase(const QString& path)
{
    // What the new database's first login needs is checked before anything is asked.
    const QString user = cboUsers->currentText();
    if (const QString err = qv::Logins::checkName(user); !err.isEmpty()) {
        qv::Msg::info(err);
        cboUsers->setFocus();
        return FirstRun::Stopped;
    }
    if (txtPassword->text().isEmpty()) {
        qv::Msg::info(QStringLiteral("Please type a password for the first user before creating the database."));
        txtPassword->setFocus();
        return FirstRun::Stopped;
    }
    if (!qv::Msg::askYesNo(QStringLiteral("There is no database at \"%1\".\n\nCreate a new database there, with \"%2\" "
                                          "as its first user and the password you typed?")
                               .arg(path, user),
                           QStringLiteral("New Database")))
        return FirstRun::Declined;
    // Typed twice, as the lock password is: a typo would lock the user out of the new book.
    const std::optional<QString> again = qv::Msg::askText(
        QStringLiteral("Type the password of \"%1\" again:").arg(user), QStringLiteral("New Database"), true);
    if (!again)
        return FirstRun::Stopped;
    if (*again != txtPassword->text()) {
        qv::Msg::info(QStringLiteral("The two passwords differ. Please type the password of the first user again."),
                      QStringLiteral("New Database"));
        txtPassword->clear();
        txtPassword->setFocus();
        return FirstRun::Stopped;
    }
    const std::optional<QString> lock = askLockPassword();
    if (!lock)
        return FirstRun::Stopped;
    qv::InitOptions o;
    o.dataSource = path;
    o.catalog = LoginCatalog;
    o.user = user;
    o.password = txtPassword->text();
    o.lockPassword = *lock;
    o.demo = qv::Msg::askYesNo(QStringLiteral("Fill the new database with a small demo company?"),
                               QStringLiteral("New Database"));
    o.demoVouchers = qv::addDemoVouchers;
    const QStringList made = missingFolders(path);
    try {
        qv::Provision::init(o);
    } catch (...) {
        removeFirstRun(made);
        throw;
    }
    return FirstRun::Created;
}

bool frmLogin::upgradeEmbeddedBook()
{
    // The login was verified before the version was looked at. A server book is upgraded by
    // its administrator (quoravel-admin upgrade): its logins hold no DDL right.
    const qv::DataSource ds = qv::DataSource::parse(txtServer->text(), LoginCatalog);
    if (ds.backend != qv::Backend::Sqlite)
        return false;
    qv::Connection c;
    c.openFileUnchecked(ds.filePath, false);
    const QString saved = qv::Schema::upgradeEmbedded(c);
    c.close();
    qv::Msg::show(QStringLiteral("The book was brought up to date for this version of Quoravel. A checked backup of "
                                 "it as it was is at %1.")
                      .arg(saved),
                  QStringLiteral("Quoravel"), qv::Msg::Icon::Information, QMessageBox::Ok);
    return true;
}

void frmLogin::cmdLogIn_Click()
{
    try {
        if (Conn.isOpen())
            Conn.close();
        Conn.setProperty(QStringLiteral("User ID"), cboUsers->currentText());
        Conn.setProperty(QStringLiteral("Password"), txtPassword->text());
        Conn.setProperty(QStringLiteral("Data Source"), txtServer->text());
        Conn.setProperty(QStringLiteral("Initial Catalog"), LoginCatalog);
        try {
            Conn.open();
        } catch (const qv::DbError& e) {
            const bool upgraded = e.sqlState() == QLatin1String("QV_OLDSCHEMA") && upgradeEmbeddedBook();
            if (!upgraded && e.sqlState() != QLatin1String("QV_NOFILE"))
                throw;
            if (!upgraded) {
                const QString path = qv::DataSource::parse(txtServer->text(), LoginCatalog).filePath;
                const FirstRun run = offerNewDatabase(path);
                if (run == FirstRun::Declined)
                    throw;
                if (run == FirstRun::Stopped)
                    return; // a message said why, or the user cancelled; nothing was made
            }
            Conn.open();
        }
        LoginUser = cboUsers->currentText();
        LoginPassword = txtPassword->text();
        StartDailyBackup();
        QSettings().setValue(lastUserKey(), LoginUser);
        auto* main = new MDIForm1();
        // The frame as the user left it last time; the first time maximised (without a window
        // manager "maximised" means nothing: fill the screen ourselves too).
        if (const QByteArray saved = QSettings().value(QStringLiteral("Frame/geometry")).toByteArray();
            !saved.isEmpty() && main->restoreGeometry(saved)) {
            main->show();
        } else {
            if (const QScreen* screen = QGuiApplication::primaryScreen())
                main->setGeometry(screen->availableGeometry());
            main->showMaximized();
        }
        m_loggedIn = true;
        close();
    } catch (const qv::DbError& e) {
        qv::Msg::show(e.description(), QStringLiteral("Login Error"), qv::Msg::Icon::Critical, QMessageBox::Ok);
        txtPassword->setFocus();
        txtPassword->setSelection(0, txtPassword->text().size());
    }
}

void frmLogin::closeEvent(QCloseEvent* e)
{
    if (m_loggedIn)
        SetResulation();
    QWidget::closeEvent(e);
}

void frmLogin::cmdCancel_Click()
{
    setDefautResulation();
    if (endProgram)
        endProgram();
}
