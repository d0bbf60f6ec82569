#pragma once
// "&Print" of a voucher window: the kind's template through the print sequence, logged on as the
// user, selecting the voucher by number, kind and the active company. An error is shown in a
// message box and opens no viewer.
#include "vouchers/voucherkinds.h"

// The selection formula of one voucher: "{MasJV.VouNo}= 7 and {MasJV.VouStatus} = 'JV' and ...",
// as the admin tool's report command takes it.
QString voucherSelection(const qv::VoucherKindInfo& kind, const QString& number);
void PrintVoucher(const qv::VoucherKindInfo& kind, qint64 number);
