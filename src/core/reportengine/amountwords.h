#pragma once
// An amount written out in words, as a voucher or a cheque states its total:
// 1,234.50 -> "One Thousand Two Hundred Thirty-Four and 50/100 Only".
#include "db/money.h"

namespace qv::rpt {

QString amountInWords(Money m);

} // namespace qv::rpt
