#pragma once
// The account finder's list: postable (subsidiary) accounts that are not deleted, narrowed by
// part of the title, ordered by title; bank accounts only when the caller asked for them.
#include "db/money.h"

#include <QList>
#include <QString>
#include <optional>

namespace qv {
class Connection;

struct FinderRow {
    qint64 rowId = 0;
    QString acNodes;
    QString acName;
    std::optional<Money> openBal; // null when the account has no opening balance
    QString contact;
    QString fax;
    QString addr;
    QString addr2;
};

class FinderStore {
public:
    explicit FinderStore(Connection& c)
        : m_c(c)
    {
    }

    // `findType` "B" lists bank accounts only; any other value lists every subsidiary account.
    QList<FinderRow> search(const QString& findType, const QString& typed);

private:
    Connection& m_c;
};

} // namespace qv
