#include "vouchers/voucherprint.h"

#include "db/audittrail.h"
#include "viewer/frmveiwer.h"
#include "vouchers/voucherwrites.h"
#include "reportengine/report.h"
#include "reports/printrequests.h"
#include "shell/mdl_connection.h"
#include "vouchers/frmvoucher.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"

#include <QDateEdit>
#include <QLineEdit>

QString voucherSelection(const qv::VoucherKindInfo& kind, const QString& number)
{
    return qv::rpt::selectionText(qv::rpt::voucherReport(kind, number.toLongLong()).selection);
}

void PrintVoucher(const qv::VoucherKindInfo& kind, qint64 number)
{
    qv::guarded([&] {
        frmVeiwer::ShowReport(qv::openReport(TheBook, qv::rpt::voucherReport(kind, number)));
        // A printed voucher is worth knowing of: who printed which, and when.
        if (Conn.scalar(QStringLiteral("select count(*) from MasJV where VouStatus = ? and VouNo = ?"),
                        {kind.code, number})
                .toInt()
            > 0)
            qv::AuditTrail(Conn).append(QStringLiteral("voucher printed"), QStringLiteral("MasJV"),
                                        qv::VoucherWrites::key(kind.code, number), {}, {});
    });
}

// The voucher as stored is printed: a number not saved yet gives a report without lines.
void frmVoucher::cmdPrint_Click()
{
    bool isNumber = false;
    const qint64 number = txtVoucher->text().trimmed().toLongLong(&isNumber);
    if (!isNumber) {
        qv::Msg::info(QStringLiteral("please enter voucher no."));
        DTPicker->setFocus();
        return;
    }
    PrintVoucher(m_kind, number);
}
