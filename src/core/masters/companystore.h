#pragma once
// The company profile rows and the one active company that the reports print.
#include <QList>
#include <QString>
#include <QVariantMap>
#include <optional>

namespace qv {
class Connection;

struct CompanyRow {
    qint64 compCode = 0;
    QString company, comTel, comFax, comAddr, comActive, comTax, comNTN, comEmail, comWebSite;
};

class CompanyStore {
public:
    explicit CompanyStore(Connection& c)
        : m_c(c)
    {
    }

    // Companies whose name contains `typed` (all when empty), ordered by name.
    QList<CompanyRow> search(const QString& typed);

    // Writes one company in one transaction: a new row when `compCode` is empty, else that row.
    // `columns` holds exactly the columns to write (a null value writes null; a column left out
    // keeps its stored value). With `makeActive` every other company loses its active flag and
    // this one gets 'Y'; a failure leaves the flags as they were. Returns the company's code.
    qint64 save(std::optional<qint64> compCode, const QVariantMap& columns, bool makeActive);

    void remove(qint64 compCode);

private:
    Connection& m_c;
};

} // namespace qv
