#pragma once
// Replacing a book in tests: the options of a new book over the test's own, whether the old book
// is still whole, and the refusal text of a set-up.
#include "db/provision.h"
#include "support/dbfixture.h"

namespace qvt {

inline qv::InitOptions optionsFor(const qvt::TestDb& t)
{
    qv::InitOptions o;
    o.dataSource = t.dataSource;
    o.catalog = t.catalog;
    o.user = QStringLiteral("newowner");
    o.password = QStringLiteral("new pw");
    o.lockPassword = QStringLiteral("new lock");
    o.replace = true;
    o.cost = qv::Logins::HashCost::Minimal;
    o.adminUser = qEnvironmentVariable("QUORAVEL_TEST_PG_USER", QStringLiteral("postgres"));
    o.adminPassword = qEnvironmentVariable("QUORAVEL_TEST_PG_PASSWORD");
    return o;
}

// The old book still opens with its own login and holds its own lock password.
inline bool oldBookIsWhole(const qvt::TestDb& t)
{
    try {
        qv::Connection c;
        t.connect(c);
        return c.scalar(QStringLiteral("select count(*) from LctPswd")).toInt() == 1
               && c.scalar(QStringLiteral("select count(*) from Accounts")).toInt() > 0;
    } catch (const qv::DbError& e) {
        qWarning("%s", qPrintable(e.description()));
        return false;
    }
}

inline QString expectRefusal(const qv::InitOptions& o)
{
    try {
        qv::Provision::init(o);
    } catch (const qv::DbError& e) {
        return e.description();
    }
    return {};
}

} // namespace qvt
