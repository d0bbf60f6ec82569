#pragma once
// Test support: a fresh database on either backend, a logged-in main window, and a recorder
// for message boxes.
#include "db/connection.h"
#include "db/provision.h"
#include "shell/mdiform1.h"
#include "widgets/msgbox.h"

#include <QList>
#include <QPointer>
#include <QTest>

namespace qvt {

// The backend a suite runs on: QUORAVEL_TEST_BACKEND=sqlite|pg (default sqlite). The pg runs
// need QUORAVEL_TEST_PG=host:port and an administrator in QUORAVEL_TEST_PG_USER/_PASSWORD.
qv::Backend backend();
bool backendAvailable(QString* why);
QString backendName();

// Skips the whole suite (from initTestCase) when its backend is not available.
#define QVT_REQUIRE_BACKEND()                                                                                          \
    do {                                                                                                               \
        QString why_;                                                                                                  \
        if (!qvt::backendAvailable(&why_))                                                                             \
            QSKIP(qPrintable(why_));                                                                                   \
    } while (false)

// Common set-up of a test process: test paths, a private runtime dir.
void initTestEnvironment();

struct TestDb {
    QString dataSource;
    QString catalog;
    QString user = QStringLiteral("tester");
    QString password = QStringLiteral("pa'ss %w\\rd");
    QString lockPassword = QStringLiteral("lock me");

    // A new, empty (or demo) database on the current backend.
    static TestDb create(bool demo = false);
    // Opens `c` as the test login, through the same check the login window uses.
    void connect(qv::Connection& c) const;
    // Opens `c` as an administrator (PostgreSQL) or straight onto the file (embedded).
    void connectAdmin(qv::Connection& c) const;
    void drop() const;
};

// A fresh database, the shared connection open on it, and a logged-in main window.
class AppFixture {
public:
    void start(bool demo = false);
    void stop();
    MDIForm1* main() const { return m_main; }
    const TestDb& db() const { return m_db; }

private:
    TestDb m_db;
    QPointer<MDIForm1> m_main;
};

// Records every message box; answers with the queued buttons (default: Ok / Yes).
class MsgRecorder {
public:
    MsgRecorder();
    ~MsgRecorder();
    QList<qv::Msg::Message> seen;
    QList<QMessageBox::StandardButton> answers;
    QStringList textAnswers; // answers to askText; none left: cancelled
    QStringList prompts;     // what askText asked
    QStringList texts() const;
    QString last() const { return seen.isEmpty() ? QString() : seen.last().text; }
    void clear() { seen.clear(); }

private:
    qv::Msg::Hook m_old;
    qv::Msg::TextHook m_oldText;
};

// A widget that must exist under `parent`, by objectName; a missing one ends the test at once.
template <class T> T* child(const QObject* parent, const char* name)
{
    T* w = parent->findChild<T*>(QLatin1String(name));
    if (!w)
        qFatal("no widget %s", name);
    return w;
}

// A child window of the main window's MDI area, by objectName.
template <class T = QWidget> T* findWindow(MDIForm1* main, const QString& name)
{
    for (QMdiSubWindow* sw : main->mdiArea()->subWindowList())
        if (sw->widget() && sw->widget()->objectName() == name)
            return qobject_cast<T*>(sw->widget());
    return nullptr;
}

} // namespace qvt
