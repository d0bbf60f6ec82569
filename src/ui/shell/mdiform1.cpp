#include "shell/mdiform1.h"

#include "shell/frmlogin.h"
#include "shell/homepicture.h"
#include "shell/mdichild.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "widgets/bound.h"
#include "widgets/msgbox.h"
#include "widgets/status.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEvent>
#include <QHash>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QStatusBar>
#include <QPointer>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>

namespace {
QPointer<MDIForm1> g_instance;

struct Entry {
    int level;
    const char* name;
    const char* caption; // "-" for a separator
};

// The menu tree: names and captions as stored (rights match these captions exactly).
constexpr Entry MenuTree[] = {
    {1, "mnu_Reg_Form", "REGISTRATIONS"},
    {2, "mnuCompany", "Company"},
    {2, "gp0", "-"},
    {2, "mnuChartOfAC", "Chart Of Accounts"},
    {2, "gp1", "-"},
    {2, "mnuVocSetting", "Voucher Setup"},
    {2, "gp2", "-"},
    {2, "mnuCatagory", "Catagory"},
    {2, "gp3", "-"},
    {2, "mnuApp", "Application"},
    {1, "mnuMainTrans", "TRANSACTION"},
    {2, "mnuMainVouc", "Vouchers"},
    {3, "mnuCPVou", "Cash Payment Voucher"},
    {3, "mnuCRVou", "Cash Receive Voucher"},
    {3, "mnuBVouc3", "-"},
    {3, "mnuBPVouc", "Bank Payment Voucher"},
    {3, "mnuBRVouc", "Bank Receive Voucher"},
    {3, "mnuBankRec", "Bank Reconciliation"}, // no right of its own: it follows "Bank Payment Voucher"
    {3, "mnuBVouc2", "-"},
    {3, "mnuJVVouc", "Journal Voucher"},
    {1, "mnuMainRpt", "Reports"},
    {2, "mnuCashBook", "CASH BOOK"},
    {2, "mnuRBlank", "-"},
    {2, "mnuBankBook", "BANK BOOK"},
    {2, "mnuRBlank1", "-"},
    {2, "mnuSimpleLedger", "SIMPLE LEDGER"},
    {2, "mnuRBlank2", "-"},
    {2, "mnuDetLedger", "DETAIL LEDGER"},
    {2, "mnuRBlank3", "-"},
    {2, "mnuSubTBSimple", "SUBSIDIARY TRIAL BALANCE SIMPLE"},
    {2, "mnuRBlank4", "-"},
    {2, "mnuControlTB", "CONTROL TRIAL BALANCE"},
    {2, "mnuRBlank5", "-"},
    {2, "mnuSubTBWOB", "SUBSIDIARY TRIAL BALANCE (WITH OPENING)"},
    {2, "mnuRBlank6", "-"},
    {2, "mnuOverview", "Overview"}, // no right of its own: it follows the "Report" right
    {1, "mnuAdmin", "Administartor"},
    {2, "mnuAddUser", "Add Users"},
    {2, "mnuSetMenu", "Set Menus"},
    {2, "mnuLockPeriod", "Lock Period"}, // no right of its own: it follows "Set Menus"
    {2, "mnuImport", "Import"},          // no right of its own: it follows "Set Menus"
    {2, "mnuRemoveData", "Remove Data"},
    {1, "mnuExit", "E&xit"},
};

bool hasChildren(int i)
{
    constexpr int n = int(sizeof(MenuTree) / sizeof(MenuTree[0]));
    return i + 1 < n && MenuTree[i + 1].level > MenuTree[i].level;
}
} // namespace

MDIForm1::MDIForm1(QWidget* parent)
    : QMainWindow(parent)
{
    g_instance = this;
    setObjectName(QStringLiteral("MDIForm1"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Quoravel - Computerized Accounts Management"));
    // Every window, the working windows in the frame included, carries the program's icon.
    QApplication::setWindowIcon(qv::programIcon());
    setWindowIcon(qv::programIcon());
    qv::Windows::defineAll();

    m_area = new QMdiArea(this);
    m_area->setObjectName(QStringLiteral("mdiArea"));
    m_area->setBackground(QColor(0x5b, 0x6e, 0x7f));
    setCentralWidget(m_area);
    connect(m_area, &QMdiArea::subWindowActivated, this, [](QMdiSubWindow* sw) {
        if (sw)
            if (auto* child = qobject_cast<qv::MdiChild*>(sw->widget()))
                child->onActivated();
    });
    buildMenus();
    menuEntry(QStringLiteral("mnuOverview"))->setShortcut(Qt::Key_F12);
    buildHomePanel();
    // Saves, deletes and removals that show no message box say here what they did.
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    qv::Status::setSink([this](const QString& text) { statusBar()->showMessage(text); });
    // On a server: the one this station works on, also after its link was opened again (a
    // promoted standby after a failover).
    auto* server = new QLabel(statusBar());
    server->setObjectName(QStringLiteral("lblServer"));
    statusBar()->addPermanentWidget(server);
    const auto showServer = [server](const QString& name) {
        server->setText(name.isEmpty() ? QString() : QStringLiteral("Server: %1").arg(name));
    };
    showServer(Conn.serverName());
    Conn.setReconnectHook([this, showServer](const QString& name) {
        showServer(name);
        statusBar()->showMessage(
            QStringLiteral("The connection to the server was lost and opened again: now on %1").arg(name));
    });
    // A standby that does not confirm the saves: said in a box once the action is over, again
    // after five minutes while it lasts.
    Conn.setWarningHook([this, last = QElapsedTimer()](const QString& text) mutable {
        statusBar()->showMessage(text);
        if (last.isValid() && last.elapsed() < 5 * 60 * 1000)
            return;
        last.start();
        QTimer::singleShot(0, this, [text] { qv::Msg::info(text); });
    });

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(500);
    connect(m_timer, &QTimer::timeout, this, [this] { updateDateLabel(QDateTime::currentDateTime()); });
    m_timer->start();
    updateDateLabel(QDateTime::currentDateTime());
    m_lblTitle->setText(QStringLiteral("Login :   ") + LoginUser);
}

MDIForm1::~MDIForm1()
{
    if (g_instance == this) {
        qv::Status::setSink({});
        Conn.setReconnectHook({});
        Conn.setWarningHook({});
    }
}

MDIForm1* MDIForm1::instance()
{
    return g_instance.data();
}

void MDIForm1::buildMenus()
{
    QMenu* parents[4] = {nullptr, nullptr, nullptr, nullptr};
    constexpr int n = int(sizeof(MenuTree) / sizeof(MenuTree[0]));
    for (int i = 0; i < n; ++i) {
        const Entry& e = MenuTree[i];
        const QString name = QString::fromLatin1(e.name);
        const QString caption = QString::fromLatin1(e.caption);
        QAction* action = nullptr;
        if (hasChildren(i)) {
            QMenu* m = e.level == 1 ? menuBar()->addMenu(caption) : parents[e.level - 1]->addMenu(caption);
            m->setObjectName(name);
            parents[e.level] = m;
            action = m->menuAction();
        } else if (caption == QLatin1String("-")) {
            action = parents[e.level - 1]->addSeparator();
        } else {
            action = e.level == 1 ? menuBar()->addAction(caption) : parents[e.level - 1]->addAction(caption);
            connect(action, &QAction::triggered, this, [this, name] { runEntry(name); });
        }
        action->setObjectName(name);
    }
}

QList<QAction*> MDIForm1::menuEntries() const
{
    QList<QAction*> out;
    for (const Entry& e : MenuTree)
        if (QAction* a = menuEntry(QString::fromLatin1(e.name)))
            out << a;
    return out;
}

QAction* MDIForm1::menuEntry(const QString& objectName) const
{
    if (objectName.isEmpty())
        return nullptr;
    return findChild<QAction*>(objectName);
}

void MDIForm1::runEntry(const QString& name)
{
    if (name == QLatin1String("mnuExit")) {
        exitToLogin();
        return;
    }
    close_Menu();
    // An entry whose window is not part of the program yet does nothing.
    qv::Windows::runMenu(name);
}

void MDIForm1::closeEvent(QCloseEvent* e)
{
    // Each working window runs its own close step (the finder resets the hand-over flags, for
    // one) before the frame goes; deleting them with the frame would skip it.
    QSettings().setValue(QStringLiteral("Frame/geometry"), saveGeometry());
    if (!unloadChildren()) {
        e->ignore();
        return;
    }
    QMainWindow::closeEvent(e);
}

bool MDIForm1::unloadChildren()
{
    m_closing = true;
    for (QMdiSubWindow* sw : m_area->subWindowList())
        if (auto* child = qobject_cast<qv::MdiChild*>(sw->widget()); child && !child->unload()) {
            // That window keeps its unsaved work, and the frame stays with it.
            m_closing = false;
            m_area->setActiveSubWindow(sw);
            return false;
        }
    return true;
}

void MDIForm1::exitToLogin()
{
    // A window that keeps unsaved work cancels the exit: no login window, nothing closed.
    if (!unloadChildren())
        return;
    auto* login = new frmLogin();
    login->show();
    close();
}

void MDIForm1::close_Menu()
{
    m_picture->setVisible(false);
}

void MDIForm1::showHomePanel()
{
    m_picture->setVisible(true);
    m_picture->lower();
}

bool MDIForm1::homePanelVisible() const
{
    return m_picture->isVisible();
}

QMdiSubWindow* MDIForm1::showChild(qv::MdiChild* w, int leftTwips, int topTwips)
{
    QMdiSubWindow* sw = w->subWindow();
    if (!sw) {
        sw = m_area->addSubWindow(w);
        sw->setAttribute(Qt::WA_DeleteOnClose);
        sw->setWindowIcon(windowIcon());
        sw->adjustSize();
    }
    // A hidden sub-window stays the active one, so showing it again emits no activation.
    const bool reshownActive = sw->isHidden() && m_area->activeSubWindow() == sw;
    sw->show();
    w->show();
    if (leftTwips >= 0 && topTwips >= 0)
        sw->move(qv::twips(leftTwips), qv::twips(topTwips));
    m_area->setActiveSubWindow(sw);
    if (reshownActive)
        w->onActivated();
    return sw;
}

QString MDIForm1::dateLabelText(const QDateTime& now)
{
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    // "dddd, dd-mmmm-yyyy" then one blank, then " hh:mm:ss ampm": two blanks between them.
    return en.toString(now.date(), QStringLiteral("dddd, dd-MMMM-yyyy")) + QStringLiteral(" ")
           + en.toString(now.time(), QStringLiteral(" hh:mm:ss AP"));
}

void MDIForm1::updateDateLabel(const QDateTime& now)
{
    m_lblDate->setText(dateLabelText(now));
}

void MDIForm1::buildHomePanel()
{
    m_picture = new QWidget(m_area->viewport());
    m_picture->setObjectName(QStringLiteral("Picture1"));
    m_picture->setAutoFillBackground(true);
    QPalette pal = m_picture->palette();
    pal.setColor(QPalette::Window, QColor(0xf3, 0xf1, 0xea));
    m_picture->setPalette(pal);
    auto* lay = new QVBoxLayout(m_picture);
    lay->setContentsMargins(40, 30, 40, 30);

    // Each title caption on two labels: a shadow and the face over it.
    auto addTitle = [&](const QString& text, const QString& base, int size) {
        auto* holder = new QWidget(m_picture);
        holder->setMinimumHeight(size * 2);
        auto* shadow = new QLabel(text, holder);
        auto* face = new QLabel(text, holder);
        shadow->setObjectName(base + QStringLiteral("Shadow"));
        face->setObjectName(base);
        QFont f(QStringLiteral("DejaVu Serif"), size, QFont::Bold);
        shadow->setFont(f);
        face->setFont(f);
        shadow->setStyleSheet(QStringLiteral("color:#9aa3ab"));
        face->setStyleSheet(QStringLiteral("color:#1f4e79"));
        shadow->adjustSize();
        face->adjustSize();
        shadow->move(3, 3);
        face->move(0, 0);
        holder->setMinimumWidth(face->width() + 4);
        lay->addWidget(holder, 0, Qt::AlignHCenter);
    };
    lay->addStretch(1);
    addTitle(QStringLiteral("COMPUTERIZED "), QStringLiteral("lblTitle1"), 28);
    addTitle(QStringLiteral("ACCOUNTS  MANAGEMENT"), QStringLiteral("lblTitle2"), 28);

    auto* logo = new QLabel(m_picture);
    logo->setObjectName(QStringLiteral("flashKVLogo"));
    logo->setPixmap(qv::homePicture(QSize(360, 200)));
    logo->setAlignment(Qt::AlignCenter);
    lay->addWidget(logo, 0, Qt::AlignHCenter);

    m_lblTitle = new QLabel(m_picture);
    m_lblTitle->setObjectName(QStringLiteral("lblTitle"));
    m_lblTitle->setFont(QFont(QStringLiteral("DejaVu Sans"), 14, QFont::Bold));
    m_lblTitle->setAlignment(Qt::AlignCenter);
    lay->addWidget(m_lblTitle);
    m_lblDate = new QLabel(m_picture);
    m_lblDate->setObjectName(QStringLiteral("lblDate"));
    m_lblDate->setFont(QFont(QStringLiteral("DejaVu Sans"), 12));
    m_lblDate->setAlignment(Qt::AlignCenter);
    lay->addWidget(m_lblDate);
    lay->addStretch(1);
    m_area->viewport()->installEventFilter(this);
    m_picture->setGeometry(m_area->viewport()->rect());
    m_picture->lower();
}

bool MDIForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_area->viewport() && event->type() == QEvent::Resize)
        m_picture->setGeometry(m_area->viewport()->rect());
    return QMainWindow::eventFilter(watched, event);
}

void MDIForm1::resizeEvent(QResizeEvent* e)
{
    QMainWindow::resizeEvent(e);
    m_picture->setGeometry(m_area->viewport()->rect());
}
