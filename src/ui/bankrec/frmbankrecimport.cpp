// The bank's statement read into the reconciliation window: its lines proposed as matches of the
// listed lines, the ones the book lacks listed to be entered; the proposed lines are ticked (with
// the bank's dates) only when the user confirms.
#include "bankrec/frmbankrec.h"

#include "bankrec/bankimport.h"
#include "shell/mdl_connection.h"
#include "widgets/accountbox.h"
#include "widgets/datebox.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"
#include "widgets/status.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QVBoxLayout>

using qv::BankLine;

namespace {
constexpr int MatchDays = 3;

QString shown(const QDate& d)
{
    return d.toString(qv::DateBox::format());
}

QString amountOf(const qv::StatementLine& s)
{
    return s.credit != qv::Money() ? qv::displayAmount(s.credit) + QStringLiteral(" Cr")
                                   : qv::displayAmount(s.debit) + QStringLiteral(" Dr");
}

QTableWidget* table(QWidget* parent, const char* name, const QStringList& heads, const QList<QStringList>& rows)
{
    auto* t = new QTableWidget(int(rows.size()), int(heads.size()), parent);
    t->setObjectName(QLatin1String(name));
    t->setHorizontalHeaderLabels(heads);
    t->verticalHeader()->hide();
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size(); ++c)
            t->setItem(r, c, new QTableWidgetItem(rows[r][c]));
    t->resizeColumnsToContents();
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}
} // namespace

void frmBankRec::cmdImport_Click()
{
    const QString file =
        chooseStatementFile
            ? chooseStatementFile(this)
            : QFileDialog::getOpenFileName(this, QStringLiteral("The bank's statement"),
                                           QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
                                           QStringLiteral("Statements (*.csv);;All files (*)"));
    if (file.isEmpty())
        return;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        qv::Msg::info(QStringLiteral("The statement %1 cannot be read: %2").arg(file, f.errorString()));
        return;
    }
    std::vector<qv::StatementLine> statement;
    if (!qv::guarded([&] { statement = qv::readStatementCsv(f.readAll()); }))
        return;
    const qv::Matching m = qv::matchStatement(statement, m_lines, MatchDays);

    QDialog dlg(this);
    dlg.setObjectName(QStringLiteral("dlgProposals"));
    dlg.setWindowTitle(QStringLiteral("Statement of %1: proposed matches").arg(txtBank->text()));
    QList<QStringList> proposed, missing;
    for (const qv::MatchProposal& p : m.proposals) {
        const qv::StatementLine& s = statement[size_t(p.statementIndex)];
        const BankLine& l = m_lines[p.lineIndex];
        proposed << QStringList{QString::number(s.lineNo),
                                shown(s.date),
                                s.cheque,
                                amountOf(s),
                                l.voucher(),
                                shown(l.date),
                                l.party,
                                p.how == qv::MatchProposal::How::Cheque ? QStringLiteral("cheque and amount")
                                                                        : QStringLiteral("amount and date")};
    }
    for (int i : m.unmatched) {
        const qv::StatementLine& s = statement[size_t(i)];
        missing << QStringList{QString::number(s.lineNo), shown(s.date), s.cheque, amountOf(s), s.description};
    }
    auto* lay = new QVBoxLayout(&dlg);
    lay->addWidget(new QLabel(QStringLiteral("%1 of %2 statement lines match a line of the bank book:")
                                  .arg(m.proposals.size())
                                  .arg(statement.size()),
                              &dlg));
    lay->addWidget(table(&dlg, "grdProposals",
                         {QStringLiteral("Line"), QStringLiteral("Bank date"), QStringLiteral("Cheque"),
                          QStringLiteral("Amount"), QStringLiteral("Voucher"), QStringLiteral("Date"),
                          QStringLiteral("Party"), QStringLiteral("Matched by")},
                         proposed));
    lay->addWidget(new QLabel(QStringLiteral("Not in the book, to be entered (%1):").arg(m.unmatched.size()), &dlg));
    lay->addWidget(table(&dlg, "grdUnmatched",
                         {QStringLiteral("Line"), QStringLiteral("Bank date"), QStringLiteral("Cheque"),
                          QStringLiteral("Amount"), QStringLiteral("Description")},
                         missing));
    auto* buttons = new QDialogButtonBox(&dlg);
    QPushButton* tick = buttons->addButton(QStringLiteral("&Tick the proposed lines"), QDialogButtonBox::AcceptRole);
    tick->setObjectName(QStringLiteral("cmdTickProposed"));
    tick->setEnabled(!m.proposals.empty());
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    lay->addWidget(buttons);
    dlg.resize(900, 480);
    const bool confirmed = confirmProposals ? confirmProposals(&dlg) : dlg.exec() == QDialog::Accepted;
    if (!confirmed)
        return;
    // The bank's date is the clearing date; one outside the statement's range stays the statement date.
    const std::optional<QDate> previous = m_last ? std::optional<QDate>(m_last->date) : std::nullopt;
    qv::Reconciliation rec(TheBook);
    for (const qv::MatchProposal& p : m.proposals) {
        BankLine& l = m_lines[p.lineIndex];
        const QDate bank = statement[size_t(p.statementIndex)].date;
        l.state = BankLine::State::Ticked;
        l.clearDate = rec.clearDateProblem(bank, m_date, previous).isEmpty() ? bank : m_date;
    }
    fillGrid();
    showFigures();
    qv::Status::say(QStringLiteral("%1 line(s) ticked from the statement; %2 statement line(s) are not in the book")
                        .arg(m.proposals.size())
                        .arg(m.unmatched.size()));
}
