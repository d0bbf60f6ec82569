#pragma once
// Test support without windows: a fresh database on either backend. Suites of core pieces
// link only this and quoravel_core.
#include "db/connection.h"
#include "db/provision.h"

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

    // A new, empty (or demo) database on the current backend; `user` names its first login
    // (default "tester", shared by the books of a server).
    static TestDb create(bool demo = false, const QString& user = {});
    // Opens `c` as the test login, through the same check the login window uses.
    void connect(qv::Connection& c) const;
    // Opens `c` as an administrator (PostgreSQL) or straight onto the file (embedded).
    void connectAdmin(qv::Connection& c) const;
    // Makes the book one of an older schema version, as that version's program made it (the
    // embedded file rebuilt from that version's DDL with every row the older tables hold; a
    // version-1 book then has no lock password, which was kept in clear). On a server only the
    // recorded version changes: its schema objects were the same.
    void makeOlder(int version) const;
    void drop() const;
};

} // namespace qvt
