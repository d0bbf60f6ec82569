#pragma once
// The demo company's vouchers, written through the voucher store so that every voucher in any
// book has come through one path. Provisioning writes the chart and setup first and calls this
// through InitOptions::demoVouchers (the data layer does not know the voucher store).
#include "db/connection.h"

namespace qv {

// Half a year of vouchers of every kind on the demo chart; throws DbError.
void addDemoVouchers(Connection& c);

} // namespace qv
