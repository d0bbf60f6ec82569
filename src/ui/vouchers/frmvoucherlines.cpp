// The lines of the voucher on screen: the checks of a line, the grid's cells in the kind's
// columns, add, change, remove and the total.
#include "vouchers/frmvoucher.h"

#include "masters/finderpick.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "widgets/accountbox.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

using qv::Money;

namespace {
// Grid columns: the journal and bank windows' nine, the cash windows' seven.
struct Columns {
    int drId, drName, crName, amount, cheque, narration, crId, file, bill;
};
constexpr Columns Mirrored{0, 1, 2, 3, 4, 5, 6, 7, 8};
constexpr Columns Cash{0, 1, -1, 2, 3, 4, -1, 5, 6}; // the line account in 0 and 1

QString cell(const QTableWidget* g, int row, int col)
{
    const QTableWidgetItem* i = col >= 0 ? g->item(row, col) : nullptr;
    return i ? i->text() : QString();
}

void setCell(QTableWidget* g, int row, int col, const QString& text, bool right = false)
{
    if (col < 0)
        return;
    auto* item = new QTableWidgetItem(text);
    if (right)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    g->setItem(row, col, item);
}

// Amounts have two decimals at most; the box lets nothing but digits and one point in.
bool moreThanTwoDecimals(const QString& typed)
{
    const qsizetype dot = typed.indexOf(QLatin1Char('.'));
    return dot >= 0 && typed.size() - dot - 1 > 2;
}
} // namespace

int frmVoucher::lineCount() const
{
    return MshEntry->rowCount();
}

void frmVoucher::setChangingRow(int row)
{
    m_changingRow = row;
    txtGrdRow->setText(row >= 0 ? QString::number(row + 1) : QString());
}

void frmVoucher::focusAfter(qv::CheckFocus f)
{
    if (f == qv::CheckFocus::SelectDr)
        cmdSelectDr->setFocus();
    else if (f == qv::CheckFocus::SelectCr)
        cmdSelectCr->setFocus();
}

bool frmVoucher::checkLine()
{
    auto refuse = [](const QString& text, auto focus) {
        qv::Msg::info(text);
        focus();
        return false;
    };
    const qv::EntryRules& r = m_kind.entry;
    if (txtDrAc->accountId() <= 0)
        return refuse(QStringLiteral("Please Select Debit Account"), [&] { focusAfter(r.noDebit); });
    if (txtCrAc->accountId() <= 0)
        return refuse(QStringLiteral("Please Select Credit Account"), [&] { focusAfter(r.noCredit); });
    if (txtDrAc->accountId() == txtCrAc->accountId())
        return refuse(QStringLiteral("same account title not allow, please change debit or cedit Account"),
                      [&] { focusAfter(r.sameAccount); });
    auto toAmount = [this] { txtDRCR->setFocus(); };
    const QString typed = txtDRCR->text().trimmed();
    const std::optional<Money> read = qv::parseAmount(typed);
    if (typed.isEmpty() || (read && *read <= Money()))
        return refuse(QStringLiteral("please enter Amount"), toAmount);
    // "1,5" is refused here, never read as 15.00.
    if (!read)
        return refuse(qv::amountProblem(typed), toAmount);
    if (moreThanTwoDecimals(typed))
        return refuse(QStringLiteral("The amount %1 has more than two decimals. Amounts are kept to the cent: "
                                     "please type at most two digits after the point.")
                          .arg(typed),
                      toAmount);
    // The voucher's total must fit the amount columns too.
    const Money amount = *read;
    Money others;
    for (int row = 0; row < lineCount(); ++row)
        if (row != m_changingRow)
            others += lineAt(row).amount;
    if (amount > qv::VoucherStore::maxAmount() || others > qv::VoucherStore::maxAmount() - amount)
        return refuse(QStringLiteral("The amount %1 is too large: a voucher's lines may total at most %2.")
                          .arg(typed, qv::displayAmount(qv::VoucherStore::maxAmount())),
                      toAmount);
    return true;
}

void frmVoucher::setLineRow(int row, const qv::VoucherLine& l)
{
    const Columns& c = m_kind.shape == qv::RowShape::Mirrored ? Mirrored : Cash;
    const bool cash = m_kind.shape != qv::RowShape::Mirrored;
    // A cash line names its own account only; the cash account is the contra box's.
    const bool lineOnDebit = !cash || m_kind.lineBoxes() == qv::DrBox;
    setCell(MshEntry, row, c.drId, QString::number(lineOnDebit ? l.drAc : l.crAc));
    setCell(MshEntry, row, c.drName, lineOnDebit ? l.drName : l.crName);
    setCell(MshEntry, row, c.crName, l.crName);
    setCell(MshEntry, row, c.amount, qv::displayAmount(l.amount), true);
    setCell(MshEntry, row, c.cheque, l.cheque);
    setCell(MshEntry, row, c.narration, l.narration);
    setCell(MshEntry, row, c.crId, QString::number(l.crAc));
    setCell(MshEntry, row, c.file, l.fileNo);
    setCell(MshEntry, row, c.bill, l.billNo);
}

qv::VoucherLine frmVoucher::lineAt(int row) const
{
    qv::VoucherLine l;
    const bool cash = m_kind.shape != qv::RowShape::Mirrored;
    const Columns& c = cash ? Cash : Mirrored;
    l.amount = qv::parseAmount(cell(MshEntry, row, c.amount)).value_or(Money());
    l.cheque = cell(MshEntry, row, c.cheque);
    l.narration = cell(MshEntry, row, c.narration);
    l.fileNo = cell(MshEntry, row, c.file);
    l.billNo = cell(MshEntry, row, c.bill);
    const qint64 first = cell(MshEntry, row, c.drId).toLongLong();
    const QString firstName = cell(MshEntry, row, c.drName);
    if (!cash) {
        l.drAc = first;
        l.drName = firstName;
        l.crAc = cell(MshEntry, row, c.crId).toLongLong();
        l.crName = cell(MshEntry, row, c.crName);
    } else if (m_kind.lineBoxes() == qv::DrBox) {
        l.drAc = first;
        l.drName = firstName;
        l.crAc = txtCrAc->accountId(); // the cash account at save time
        l.crName = txtCrAc->text();
    } else {
        l.crAc = first;
        l.crName = firstName;
        l.drAc = txtDrAc->accountId();
        l.drName = txtDrAc->text();
    }
    return l;
}

void frmVoucher::cmdAdd_Click()
{
    if (txtDRCR->text() == QLatin1String("."))
        txtDRCR->clear();
    if (!checkLine())
        return;
    qv::VoucherLine l;
    l.drAc = txtDrAc->accountId();
    l.drName = txtDrAc->text();
    l.crAc = txtCrAc->accountId();
    l.crName = txtCrAc->text();
    l.amount = qv::parseAmount(txtDRCR->text()).value_or(Money());
    l.cheque = txtChecque->text();
    l.narration = txtNaration->toPlainText();
    l.fileNo = txtFile->text();
    l.billNo = txtBill->text();
    int row = m_changingRow;
    if (row < 0 || row >= lineCount()) {
        row = lineCount();
        MshEntry->insertRow(row);
    }
    setLineRow(row, l);
    setChangingRow(-1);
    clearBoxes(m_kind.entry.clearedByAdd);
    for (QLineEdit* e : {txtDRCR, txtChecque, txtBill, txtFile})
        e->clear();
    putBackFixedAccount();
    totGrdAmount();
    if (cmdSelectDr->isEnabled())
        cmdSelectDr->setFocus();
    else if (cmdSelectCr->isEnabled())
        cmdSelectCr->setFocus();
}

void frmVoucher::MshEntry_DblClick()
{
    const int row = MshEntry->currentRow();
    if (row < 0 || cell(MshEntry, row, 0).isEmpty())
        return;
    setChangingRow(row);
    const qv::VoucherLine l = lineAt(row);
    const int boxes = m_kind.shape == qv::RowShape::Mirrored ? int(qv::BothBoxes) : m_kind.lineBoxes();
    if (boxes & qv::DrBox)
        txtDrAc->setAccount(l.drAc, l.drName);
    if (boxes & qv::CrBox)
        txtCrAc->setAccount(l.crAc, l.crName);
    txtDRCR->setText(qv::plainAmount(l.amount));
    txtChecque->setText(l.cheque);
    txtNaration->setPlainText(l.narration);
    txtFile->setText(l.fileNo);
    txtBill->setText(l.billNo);
}

void frmVoucher::acmRemove_Click()
{
    if (lineCount() > 1)
        MshEntry->removeRow(qMax(0, MshEntry->currentRow()));
    else
        MshEntry->setRowCount(0);
    setGrid();
    clearBoxes(m_kind.entry.clearedByRemove);
    txtDRCR->clear();
    txtNaration->clear();
    setChangingRow(-1);
    putBackFixedAccount();
    totGrdAmount();
}

void frmVoucher::totGrdAmount()
{
    lblTotalAmount->setText(QStringLiteral("Total Amount : ") + qv::plainAmount(Money()));
    if (lineCount() == 0)
        return;
    Money sum;
    for (int row = 0; row < lineCount(); ++row)
        if (!cell(MshEntry, row, m_kind.shape == qv::RowShape::Mirrored ? Mirrored.amount : Cash.amount).isEmpty())
            sum += lineAt(row).amount;
    lblTotalAmount->setText(QStringLiteral("Total Amount : ") + qv::displayAmount(sum));
    txtTotAmount->setText(qv::plainAmount(sum));
}

bool frmVoucher::lineHasAccount(int row) const
{
    return !cell(MshEntry, row, 0).isEmpty();
}
