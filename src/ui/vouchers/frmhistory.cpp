#include "vouchers/frmhistory.h"

#include "shell/mdl_connection.h"
#include "vouchers/voucherhistory.h"
#include "vouchers/voucherwrites.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

frmHistory::frmHistory(const QString& kind, qint64 number, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmHistory"));
    const QString key = qv::VoucherWrites::key(kind, number);
    setWindowTitle(QStringLiteral("History of %1").arg(key));
    lblVoucher = new QLabel(QStringLiteral("Voucher %1: every recorded change, oldest first").arg(key), this);
    grdHistory = new QTableWidget(0, 4, this);
    grdHistory->setObjectName(QStringLiteral("grdHistory"));
    grdHistory->setHorizontalHeaderLabels(
        {QStringLiteral("When (UTC)"), QStringLiteral("Login"), QStringLiteral("Station"), QStringLiteral("What")});
    grdHistory->horizontalHeader()->setStretchLastSection(true);
    grdHistory->verticalHeader()->hide();
    grdHistory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdHistory->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdHistory->setSelectionMode(QAbstractItemView::SingleSelection);
    txtChanges = new QPlainTextEdit(this);
    txtChanges->setObjectName(QStringLiteral("txtChanges"));
    txtChanges->setReadOnly(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("cmdClose"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(lblVoucher);
    lay->addWidget(grdHistory, 1);
    lay->addWidget(new QLabel(QStringLiteral("What it changed:"), this));
    lay->addWidget(txtChanges, 1);
    lay->addWidget(buttons);
    resize(760, 520);

    const std::vector<qv::HistoryEntry> entries = qv::voucherHistory(Conn, kind, number);
    grdHistory->setRowCount(int(entries.size()));
    for (int r = 0; r < int(entries.size()); ++r) {
        const qv::AuditRecord& a = entries[size_t(r)].record;
        const QStringList cells = {a.at.left(19).replace(QLatin1Char('T'), QLatin1Char(' ')), a.login, a.host,
                                   a.action};
        for (int c = 0; c < cells.size(); ++c)
            grdHistory->setItem(r, c, new QTableWidgetItem(cells[c]));
        m_changes << entries[size_t(r)].changes;
    }
    grdHistory->resizeColumnsToContents();
    connect(grdHistory, &QTableWidget::currentCellChanged, this, [this](int row) { showChanges(row); });
    if (!entries.empty())
        grdHistory->setCurrentCell(int(entries.size()) - 1, 0);
}

void frmHistory::showChanges(int row)
{
    txtChanges->setPlainText(row >= 0 && row < m_changes.size()
                                 ? (m_changes[row].isEmpty() ? QStringLiteral("(nothing in the voucher changed)")
                                                             : m_changes[row].join(QLatin1Char('\n')))
                                 : QString());
}

void frmHistory::showFor(const QString& kind, qint64 number, QWidget* parent)
{
    qv::guarded([&] {
        auto* dlg = new frmHistory(kind, number, parent);
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        if (dlg->grdHistory->rowCount() == 0) {
            delete dlg;
            qv::Msg::info(
                QStringLiteral("No change of voucher %1 is recorded.").arg(qv::VoucherWrites::key(kind, number)));
            return;
        }
        dlg->show();
    });
}
