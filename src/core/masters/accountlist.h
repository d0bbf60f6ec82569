#pragma once
// Every subsidiary account in memory, for the searches that follow the keystrokes (the account
// finder and the chart window's search tab). Reading ten thousand accounts from the driver at
// each keystroke costs more than the user may wait; filtering them in memory costs little.
// The results are those of the stores' queries (FinderStore::search, AccountStore::search):
// - the accounts are read in the order the database sorts them (AcName, then RowID), so that a
//   filtered list keeps the database's order, whatever its collation;
// - each title is lowered by the database's own lower() when read, and the typed text the same
//   way (on a server by asking it, once per text), then found as typed: '%', '_' and quotes
//   are ordinary characters;
// - before each search the list is compared with the book at little cost, and read again
//   whenever the accounts may have changed, by this station or another: on the embedded book
//   when any row was written by this connection or any other committed (the file's change
//   counters), on a server when the Accounts rows' count or their row versions (xmin) differ.
#include "db/money.h"

#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace qv {
class Connection;

struct ListedAccount {
    qint64 rowId = 0;
    QString acNodes, acName, location, contact, fax, email, addr, addr2;
    std::optional<Money> openBal;
    bool active = false; // DeleteStatus 'N': the finder lists only these
    bool bank = false;   // BStatus 'B'
    bool named = false;  // AcName is not null
    QString folded;      // lower(AcName) as the database lowers it
};

// What a search found: the accounts as read (shared, so that a grid keeps the ones it shows while
// the list is read again) and the found ones' places among them, in title order.
struct AccountMatches {
    std::shared_ptr<const std::vector<ListedAccount>> all;
    std::vector<int> rows;
    size_t size() const { return rows.size(); }
    const ListedAccount& operator[](size_t i) const { return (*all)[size_t(rows[i])]; }
};

class AccountList {
public:
    enum class Scope { Chart, Finder, FinderBanks };

    explicit AccountList(Connection& c)
        : m_c(c)
    {
    }

    // The accounts of `scope` whose title contains `typed` (letter case ignored), an empty text
    // listing every titled one, in title order. Reads the accounts again first when they may have
    // changed. Throws DbError.
    AccountMatches find(const QString& typed, Scope scope);
    // Forgets what was read: the next search reads the accounts again.
    void reset() { m_stamp.clear(); }

private:
    QString stamp();
    QString fold(const QString& typed);
    void load();

    Connection& m_c;
    std::shared_ptr<const std::vector<ListedAccount>> m_accounts = std::make_shared<std::vector<ListedAccount>>();
    QString m_stamp; // what the book looked like when read
    QString m_foldedFor, m_folded;
};

} // namespace qv
