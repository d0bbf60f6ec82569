#pragma once
// The search list of a voucher window: a kind's vouchers whose number (as text) or party
// contains the typed text, or that are dated on one day, in ascending number. Every value is
// bound; '%' and '_' are found as typed. "Multi" marks a voucher of more than one line: the
// rows on the side its lines carry (DrAmt > 0; for cash receive CrAmt > 0) that name a contra
// account, so that the cash row of a cash voucher is never counted as a line.
#include "db/connection.h"
#include "db/money.h"
#include "vouchers/voucherkinds.h"

#include <QDate>
#include <QString>
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

class VoucherSearch {
public:
    explicit VoucherSearch(Connection& c)
        : m_c(c)
    {
    }

    // Vouchers whose number written as text contains `typed`; empty text lists the whole kind.
    std::vector<FoundVoucher> byNumber(VoucherKind k, const QString& typed);
    std::vector<FoundVoucher> byDate(VoucherKind k, const QDate& day);
    // Vouchers whose party contains `typed`, letter case ignored.
    std::vector<FoundVoucher> byParty(VoucherKind k, const QString& typed);

private:
    std::vector<FoundVoucher> run(VoucherKind k, const QString& condition, QVariantList params);

    Connection& m_c;
};

} // namespace qv
