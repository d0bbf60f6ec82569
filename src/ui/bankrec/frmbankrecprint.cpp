// The reconciliation statement of the chosen bank as at the statement date, in the viewer.
#include "bankrec/frmbankrec.h"

#include "bankrec/recstatement.h"
#include "reportengine/report.h"
#include "shell/mdl_connection.h"
#include "viewer/frmveiwer.h"
#include "widgets/accountbox.h"
#include "widgets/datebox.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"

#include <QApplication>

void frmBankRec::cmdPrint_Click()
{
    dtpStatement->commitTyped();
    if (!txtBank->hasAccount()) {
        qv::Msg::info(QStringLiteral("Please select the bank account."));
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    qv::guarded([this] {
        const qv::rpt::ReportRequest q =
            qv::bankRecRequest(txtBank->accountId(), dtpStatement->date(), TheBook.templateFolders());
        frmVeiwer::ShowReport(qv::openReport(TheBook, q));
    });
    QApplication::restoreOverrideCursor();
}
