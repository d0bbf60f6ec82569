#pragma once
// The audit trail: an append-only table of every recorded change, each record chained to the one
// before by a SHA-256 hash over the previous record's hash and its own content. A record changed,
// removed or slipped in between breaks the chain at that place; the last records removed show
// against a head (sequence and hash) printed earlier, e.g. on a trial balance. Records are
// written in the transaction of the change they record, so one exists if and only if its change
// committed. On a server only the keeper's function appends (logins may read, never change); on
// the embedded file the chain is what makes an edit by another program show.
#include "db/connection.h"

#include <QDate>
#include <optional>
#include <vector>

namespace qv {

struct AuditRecord {
    qint64 seq = 0;
    QString at, login, host, action, table, key, before, after, prevHash, hash;
};

struct AuditFilter {
    QString key;   // "JV-12": the records of that voucher
    QString login; // exact
    QDate from, to;
    qint64 account = 0; // Accounts.RowID named by a line of the before or after image
};

class AuditTrail {
public:
    explicit AuditTrail(Connection& c)
        : m_c(c)
    {
    }

    // One record, in the caller's transaction (a savepoint of its own when there is none).
    void append(const QString& action, const QString& table, const QString& key, const QString& before,
                const QString& after);
    // Before the writes of a change that append() will record: on a server, a transaction that
    // declares nothing has each row it writes recorded as typed SQL (db/sqlaudit.h). Nothing on
    // the embedded file.
    void declare();
    // The first record of a book that had none: the counts and a hash of its vouchers, accounts
    // and settings as they are. Written by this connection itself (an upgrade's administrator).
    void appendOpening();

    struct Head {
        qint64 seq = 0;
        QString hash;
    };
    Head head();
    // "Audit trail: record N, SHA-256 ...", or empty when the trail is empty.
    QString headLine();

    struct Finding {
        qint64 seq = 0;
        QString what;
    };
    // The first broken link; nullopt when the whole chain holds. With `printed`, the head once
    // printed must still be in the chain with the same hash.
    std::optional<Finding> verify(const std::optional<Head>& printed = std::nullopt);
    std::vector<AuditRecord> records(const AuditFilter& f);

    // The rows of `table` that `where` selects, every column under its own name, as compact JSON
    // (an object for one row with `single`, else an array); empty when no row is selected.
    static QString rowsImage(Connection& c, const QString& table, const QString& where = {},
                             const QVariantList& params = {}, bool single = false);

    static QString hashOf(const AuditRecord& r);
    static QString host();

private:
    void appendDirect(const QString& action, const QString& table, const QString& key, const QString& before,
                      const QString& after);
    Connection& m_c;
};

} // namespace qv
