#pragma once
// Removing old data: vouchers of a date range (every kind or one), all plot categories, all
// applications. The rows are counted first, so that the user sees what will go; the removal
// runs in one transaction and refuses when the rows changed since they were counted. On the
// embedded database a dated, verified copy of the file is written before anything goes.
#include "db/connection.h"

#include <QDate>
#include <QDateTime>
#include <QString>

namespace qv {

struct RemovalChoice {
    bool vouchers = false;
    QString kind; // "JV", "BP", "BR", "CP", "CR"; empty: every kind
    QDate from;
    QDate to;
    bool categories = false;
    bool applications = false;

    bool anything() const { return vouchers || categories || applications; }
};

struct RemovalCounts {
    int vouchers = 0; // MasJV rows
    int lines = 0;    // their DetJV rows
    int categories = 0;
    int applications = 0;

    int total() const { return vouchers + lines + categories + applications; }
    friend bool operator==(const RemovalCounts&, const RemovalCounts&) = default;
};

class RemoveData {
public:
    explicit RemoveData(Connection& c)
        : m_c(c)
    {
    }

    // An error text for a choice that cannot be run (nothing chosen, a bad range); empty if fine.
    static QString checkChoice(const RemovalChoice& ch);
    RemovalCounts count(const RemovalChoice& ch);
    // Removes what `ch` names, in one transaction. `expected` are the counts the user agreed to:
    // when the rows found now differ, nothing is removed and DbError says so.
    RemovalCounts remove(const RemovalChoice& ch, const RemovalCounts& expected);

    // Embedded database only: writes a copy of the database beside its file, named after `when`,
    // checks that it opens and passes the integrity check, and returns its path. Throws DbError
    // (and leaves no copy behind) when any step fails. The copy is made under a name of its own
    // and given the first free name only when whole: another station's copy is never touched.
    QString backup(const QDateTime& when);
    // The same into a path of the caller's choosing, refused when a file is there (even one put
    // there while the copy was made).
    void backupTo(const QString& path);
    // The name a backup made at `when` gets beside `dbPath` (a free one: " (2)" etc. when taken).
    static QString backupPath(const QString& dbPath, const QDateTime& when);

private:
    Connection& m_c;
};

} // namespace qv
