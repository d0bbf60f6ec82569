#pragma once
// The vouchers of one kind in memory, for the search list that follows the keystrokes: at a
// hundred thousand vouchers a "contains" query reads every one of them at each keystroke, while
// a search of the same texts in memory takes a fraction of it. The results are those of
// VoucherSearch::find, row for row:
// - the vouchers are kept in number order; "Multi" is read with the query's own line count for
//   the vouchers a search returns, when first returned (reading it for all of them would take
//   seconds at a million);
// - the number search looks for the typed text in the number's decimal text, the party search
//   for the typed text lowered as the database lowers it (a server is asked, once per text) in
//   the party lowered by the database when read: '%', '_' and quotes are ordinary characters;
// - before each search the highest row keys of MasJV and DetJV are looked up (two index
//   lookups): every saved voucher, new or changed, by this station or another, adds detail rows,
//   so the vouchers behind new keys are read again and the list is as the book is. A voucher
//   removed by another station (which adds no rows) stays listed until the count of the kind's
//   vouchers is compared with the list: when the search tab is shown (refreshOnShow), and at
//   the first search. Removals by this window are told (changed()).
#include "vouchers/vouchersearch.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace qv {

class VoucherList {
public:
    VoucherList(Connection& c, VoucherKind k)
        : m_c(c)
        , m_kind(k)
    {
    }

    // The matching vouchers numbered above `after`, at most `limit` of them (0: all), as
    // VoucherSearch::find gives them. Throws DbError.
    std::vector<FoundVoucher> find(const VoucherCriterion& c, qint64 after = std::numeric_limits<qint64>::min(),
                                   int limit = 0);
    // This station saved or removed voucher `number`: it is read again at the next search.
    void changed(qint64 number) { m_pending.push_back(number); }
    // The search tab comes up: the count of the kind's vouchers is compared with the list, which
    // is read again whole when they differ (a removal by another station).
    void refreshOnShow();
    bool loaded() const { return m_loaded; }
    qint64 size() const { return qint64(m_entries.size()); }

private:
    struct Entry {
        qint64 number = 0;
        qint64 day = 0; // Julian day; 0: no date
        std::optional<Money> total;
        qint8 multi = -1; // -1: not read yet
        bool hasParty = false;
        QString party;
        QString folded; // lower(PaidReceive) as the database lowers it
    };
    QString selectSql(const QString& where) const;
    Entry read(QSqlQuery& q) const;
    void load();
    void sync();
    void reread(const QList<qint64>& numbers);
    void index(); // the number and party texts searched
    void readMulti(std::vector<FoundVoucher>& found);
    std::vector<FoundVoucher> search(const VoucherCriterion& c, qint64 after, int limit);
    QString fold(const QString& typed);
    // Entries from the first numbered above `after`, matching `hit`, until `limit`.
    template <class Hit> std::vector<FoundVoucher> collect(qint64 after, int limit, Hit hit) const;

    Connection& m_c;
    VoucherKind m_kind;
    bool m_loaded = false;
    std::vector<Entry> m_entries; // by number
    // One text of all numbers and one of all lowered parties, each entry's part starting after a
    // NUL at the entry's offset: a search runs over the whole text at once.
    QByteArray m_numbers;
    std::vector<qint64> m_numberAt;
    QString m_parties;
    std::vector<qint64> m_partyAt;
    bool m_indexed = false;
    qint64 m_maxMaster = 0, m_maxDetail = 0;
    QList<qint64> m_pending;
    QString m_foldedFor, m_folded;
};

} // namespace qv
