#include "vouchers/voucherprint.h"

#include "db/audittrail.h"
#include "viewer/frmveiwer.h"
#include "vouchers/voucherwrites.h"
#include "reportengine/report.h"
#include "shell/mdl_connection.h"
#include "vouchers/frmvoucher.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"

#include <QDateEdit>
#include <QLineEdit>

QString voucherSelection(const qv::VoucherKindInfo& kind, const QString& number)
{
    return QStringLiteral("{MasJV.VouNo}= ") + number + QStringLiteral(" and {MasJV.VouStatus} = '") + kind.code
           + QStringLiteral("' and {Company.comActive} = 'Y'");
}

void PrintVoucher(const qv::VoucherKindInfo& kind, const QString& number)
{
    qv::guarded([&] {
        std::shared_ptr<qv::rpt::Report> report = qv::openReport(TheBook, kind.reportTemplate);
        report->setRecordSelectionFormula(voucherSelection(kind, number));
        frmVeiwer::ShowReport(report);
        // A printed voucher is worth knowing of: who printed which, and when.
        bool ok = false;
        const qint64 n = number.toLongLong(&ok);
        if (ok
            && Conn.scalar(QStringLiteral("select count(*) from MasJV where VouStatus = ? and VouNo = ?"),
                           {kind.code, n})
                       .toInt()
                   > 0)
            qv::AuditTrail(Conn).append(QStringLiteral("voucher printed"), QStringLiteral("MasJV"),
                                        qv::VoucherWrites::key(kind.code, n), {}, {});
    });
}

// The voucher as stored is printed: a number not saved yet gives a report without lines.
void frmVoucher::cmdPrint_Click()
{
    const QString number = txtVoucher->text().trimmed();
    if (number.isEmpty()) {
        qv::Msg::info(QStringLiteral("please enter voucher no."));
        DTPicker->setFocus();
        return;
    }
    PrintVoucher(m_kind, number);
}
