#pragma once
// The search list of a voucher window: a kind's vouchers whose number (as text) or party
// contains the typed text, or that are dated on one day, in ascending number. Every value is
// bound; '%' and '_' are found as typed. "Multi" marks a voucher of more than one line: the
// rows on the side its lines carry (DrAmt > 0; for cash receive CrAmt > 0) that name a contra
// account, so that the cash row of a cash voucher is never counted as a line.
// A list may be read in pages (numbers after the last one read), so that a window shows the
// first lines of a long list at once and reads the rest afterwards, each page a query of its own.
#include "db/connection.h"
#include "db/money.h"
#include "vouchers/voucherkinds.h"

#include <QDate>
#include <QString>
#include <limits>
#include <optional>
#include <vector>

namespace qv {

// One line of the list: VouNo, VouDate, PaidReceive, TotalAmount, Multi.
struct FoundVoucher {
    qint64 number = 0;
    QDate date;
    QString party;
    std::optional<Money> total;
    bool multi = false;
    // Column c's text as the list shows it: date dd-mm-yyyy, amount "##,###0.00", "M" or empty.
    QString operator[](int column) const;
};

// What is searched for: the number as text, a day, or the party (letter case ignored).
struct VoucherCriterion {
    enum class By { Number, Date, Party } by = By::Number;
    QString text; // Number, Party: the typed text; empty lists the whole kind (Party: every named one)
    QDate day;    // Date
};

// The SQL of a voucher's line count on the side its kind stores its lines ("Multi" when above 1),
// for a query over MasJV m.
QString voucherLineCount(VoucherKind k);

class VoucherSearch {
public:
    explicit VoucherSearch(Connection& c)
        : m_c(c)
    {
    }

    // The matching vouchers numbered above `after`, at most `limit` of them (0: all).
    std::vector<FoundVoucher> find(VoucherKind k, const VoucherCriterion& c,
                                   qint64 after = std::numeric_limits<qint64>::min(), int limit = 0);

    std::vector<FoundVoucher> byNumber(VoucherKind k, const QString& typed)
    {
        return find(k, {VoucherCriterion::By::Number, typed, {}});
    }
    std::vector<FoundVoucher> byDate(VoucherKind k, const QDate& day)
    {
        return find(k, {VoucherCriterion::By::Date, {}, day});
    }
    std::vector<FoundVoucher> byParty(VoucherKind k, const QString& typed)
    {
        return find(k, {VoucherCriterion::By::Party, typed, {}});
    }

private:
    Connection& m_c;
};

} // namespace qv
