#pragma once
// The prints the windows ask for besides the accounts reports: a voucher and the chart of
// accounts.
#include "reportengine/reportrequest.h"
#include "vouchers/voucherkinds.h"

namespace qv::rpt {

// The voucher of the kind and number as stored, on its kind's template.
ReportRequest voucherReport(const VoucherKindInfo& kind, qint64 number);
// Every account, in code order: no selection.
ReportRequest chartReport();

} // namespace qv::rpt
