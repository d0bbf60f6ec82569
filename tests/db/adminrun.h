#pragma once
// Helpers of the suites that drive quoravel-admin and log in as the logins it makes.
#include "support/adminrun.h"
#include "support/dbfixture.h"

namespace qvt {
using Run = AdminRun;
inline bool isPg()
{
    return backend() == qv::Backend::Postgres;
}
// Whether `sql` fails when run on `c`.
inline bool refused(qv::Connection& c, const QString& sql)
{
    try {
        c.execute(sql);
        return false;
    } catch (const qv::DbError&) {
        return true;
    }
}
// The book `t` with another login.
inline TestDb as(const TestDb& t, const QString& user, const QString& password)
{
    TestDb o = t;
    o.user = user;
    o.password = password;
    return o;
}
// Whether that login opens that book.
inline bool canOpen(const TestDb& t)
{
    try {
        qv::Connection c;
        t.connect(c);
        return c.isOpen();
    } catch (const qv::DbError&) {
        return false;
    }
}
// The options naming the book and its login for quoravel-admin.
inline QStringList target(const TestDb& t)
{
    return {"--server", t.dataSource, "--catalog", t.catalog, "--user", t.user, "--password", t.password};
}
} // namespace qvt
