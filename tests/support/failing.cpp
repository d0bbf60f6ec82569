#include "support/failing.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace qvt {

QStringList snapshot(qv::Connection& c)
{
    QStringList tables;
    QSqlQuery t = c.query(c.backend() == qv::Backend::Sqlite
                              ? QStringLiteral("select name from sqlite_master where type = 'table' and name not like "
                                               "'sqlite_%' order by name")
                              : QStringLiteral("select table_name from information_schema.tables where table_schema = "
                                               "'public' and table_type = 'BASE TABLE' order by table_name"));
    while (t.next())
        tables << t.value(0).toString();
    t.finish();
    QStringList out;
    for (const QString& table : tables) {
        QSqlQuery q = c.query(QStringLiteral("select * from %1 order by 1").arg(table));
        while (q.next()) {
            QStringList row;
            for (int i = 0; i < q.record().count(); ++i)
                row << (q.value(i).isNull() ? QStringLiteral("<null>") : q.value(i).toString());
            out << table + QLatin1Char(':') + row.join(QLatin1Char('|'));
        }
    }
    return out;
}

FailEachResult failEachStatement(qv::Connection& c, const std::function<void()>& action,
                                 const std::function<void(int)>& afterFailure, int limit)
{
    FailEachResult r;
    for (int k = 1; k <= limit; ++k) {
        const QStringList before = snapshot(c);
        int n = 0;
        bool fired = false;
        c.setStatementHook([&](const QString& sql) {
            // The save's own statements: its transaction (from BEGIN on) and a copy made before
            // it; the reads that refresh the window after the commit are not part of it.
            const bool part = c.inTransaction() || sql.startsWith(QLatin1String("BEGIN"), Qt::CaseInsensitive)
                              || sql.startsWith(QLatin1String("VACUUM"), Qt::CaseInsensitive);
            if (part && ++n == k) {
                fired = true;
                throw qv::DbError(QStringLiteral("injected failure at statement %1").arg(k));
            }
        });
        action();
        c.setStatementHook({});
        if (!fired)
            return r; // the save went through
        ++r.statements;
        const QStringList after = snapshot(c);
        if (after != before) {
            QString diff;
            for (int i = 0; i < qMax(before.size(), after.size()) && diff.isEmpty(); ++i)
                if (before.value(i) != after.value(i))
                    diff = QStringLiteral("was \"%1\", now \"%2\"").arg(before.value(i), after.value(i));
            r.changed << QStringLiteral("k=%1: %2").arg(k).arg(diff);
        }
        if (afterFailure)
            afterFailure(k);
    }
    r.error = QStringLiteral("the save never went through in %1 runs").arg(limit);
    return r;
}

} // namespace qvt
