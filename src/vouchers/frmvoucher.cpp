#include "vouchers/frmvoucher.h"

#include "masters/finderpick.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
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

void frmVoucher::load()
{
    setGrid();
    qv::guarded([this] { FixAccount(); });
    qv::guarded([this] { SetMaxlength(); });
    DTPicker->setDate(QDate::currentDate());
    SSTab->setCurrentIndex(0);
    buildSearchTab(searchTab);
    SearchGrd();
    qv::guarded([this] { NewNo(); });
    totGrdAmount();
}

// ---- setup, numbering, widths ---------------------------------------------------------------

void frmVoucher::FixAccount()
{
    m_setup = m_store.setup(m_kind.kind);
    if (!m_setup)
        return;
    StartVouNo = m_setup->startNo;
    QLineEdit* box = m_setup->acStatus == QLatin1String("DR")   ? txtDrAc
                     : m_setup->acStatus == QLatin1String("CR") ? txtCrAc
                                                                : nullptr;
    if (!box)
        return;
    QPushButton* select = box == txtDrAc ? cmdSelectDr : cmdSelectCr;
    if (m_setup->acTitle)
        setAccount(box, m_setup->acCode.trimmed().toLongLong(), *m_setup->acTitle);
    else
        box->clear(); // its tag as it was
    box->setEnabled(!m_setup->fix);
    select->setEnabled(!m_setup->fix);
}

void frmVoucher::putBackFixedAccount()
{
    if (!m_setup || !m_setup->fix || !m_setup->acTitle)
        return;
    if (m_setup->acStatus == QLatin1String("DR"))
        setAccount(txtDrAc, m_setup->acCode.trimmed().toLongLong(), *m_setup->acTitle);
    else if (m_setup->acStatus == QLatin1String("CR"))
        setAccount(txtCrAc, m_setup->acCode.trimmed().toLongLong(), *m_setup->acTitle);
}

void frmVoucher::NewNo()
{
    txtVoucher->setText(QString::number(m_store.nextNumber(m_kind.kind, StartVouNo)));
    IsNewVoucher = true;
}

void frmVoucher::SetMaxlength()
{
    auto limit = [](QLineEdit* box, int width) {
        if (width > 0)
            box->setMaxLength(width);
    };
    limit(txtVoucher, m_store.numberWidth());
    limit(txtPaidTo, m_store.partyWidth());
    limit(txtChecque, m_store.chequeWidth());
    m_narrationWidth = m_store.narrationWidth();
}

// ---- account boxes and the finder -------------------------------------------------------------

void frmVoucher::setAccount(QLineEdit* box, qint64 rowId, const QString& title)
{
    box->setText(title);
    box->setProperty("tag", rowId > 0 ? QString::number(rowId) : QString());
}

qint64 frmVoucher::accountOf(const QLineEdit* box) const
{
    return box->property("tag").toString().toLongLong();
}

void frmVoucher::clearBoxes(int boxes)
{
    if (boxes & qv::DrBox)
        setAccount(txtDrAc, 0, {});
    if (boxes & qv::CrBox)
        setAccount(txtCrAc, 0, {});
}

void frmVoucher::selectAccount(const QString& side)
{
    FinderSide = side;
    const bool bankSide =
        m_kind.bankContra && m_kind.contraBox() == (side == QLatin1String("DR") ? qv::DrBox : qv::CrBox);
    if (bankSide)
        FindACType = QStringLiteral("B");
    qv::showFinder(true);
    if (bankSide)
        if (qv::MdiChild* finder = qv::Windows::find(QStringLiteral("frmFindAC")))
            if (auto* all = finder->findChild<QCheckBox*>(QStringLiteral("chkAll")))
                all->setVisible(true);
}

void frmVoucher::onActivated()
{
    if (qv::finderPickPending()) {
        QLineEdit* box = FinderSide == QLatin1String("DR")   ? txtDrAc
                         : FinderSide == QLatin1String("CR") ? txtCrAc
                                                             : nullptr;
        if (box) {
            qv::takeFinderPick(box);
            txtDRCR->setFocus();
        }
    }
    if (m_kind.entry.activationEmptiesFinderType)
        FindACType.clear();
}

// ---- lines ------------------------------------------------------------------------------------

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
    if (accountOf(txtDrAc) <= 0)
        return refuse(QStringLiteral("Please Select Debit Account"), [&] { focusAfter(r.noDebit); });
    if (accountOf(txtCrAc) <= 0)
        return refuse(QStringLiteral("Please Select Credit Account"), [&] { focusAfter(r.noCredit); });
    if (accountOf(txtDrAc) == accountOf(txtCrAc))
        return refuse(QStringLiteral("same account title not allow, please change debit or cedit Account"),
                      [&] { focusAfter(r.sameAccount); });
    auto toAmount = [this] { txtDRCR->setFocus(); };
    const QString typed = txtDRCR->text().trimmed();
    if (typed.isEmpty() || qv::leadingAmount(typed) <= Money())
        return refuse(QStringLiteral("please enter Amount"), toAmount);
    if (moreThanTwoDecimals(typed))
        return refuse(QStringLiteral("The amount %1 has more than two decimals. Amounts are kept to the cent: "
                                     "please type at most two digits after the point.")
                          .arg(typed),
                      toAmount);
    // The voucher's total must fit the amount columns too.
    const Money amount = qv::leadingAmount(typed);
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
        l.crAc = accountOf(txtCrAc); // the cash account at save time
        l.crName = txtCrAc->text();
    } else {
        l.crAc = first;
        l.crName = firstName;
        l.drAc = accountOf(txtDrAc);
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
    l.drAc = accountOf(txtDrAc);
    l.drName = txtDrAc->text();
    l.crAc = accountOf(txtCrAc);
    l.crName = txtCrAc->text();
    l.amount = qv::leadingAmount(txtDRCR->text());
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
        setAccount(txtDrAc, l.drAc, l.drName);
    if (boxes & qv::CrBox)
        setAccount(txtCrAc, l.crAc, l.crName);
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

// ---- save, open, delete, cancel -----------------------------------------------------------

qv::Voucher frmVoucher::voucherOnScreen() const
{
    qv::Voucher v;
    v.kind = m_kind.kind;
    v.number = txtVoucher->text().trimmed().toLongLong();
    v.date = DTPicker->date();
    v.party = txtPaidTo->text();
    for (int row = 0; row < lineCount(); ++row)
        if (!cell(MshEntry, row, 0).isEmpty())
            v.lines.push_back(lineAt(row));
    return v;
}

void frmVoucher::cmdSave_Click()
{
    cmdDelete->setEnabled(false);
    if (lineCount() == 0) {
        qv::Msg::info(QStringLiteral("Please enter less than one entry in detail"));
        return;
    }
    const qv::Voucher v = voucherOnScreen();
    if (const QString why = qv::VoucherStore::refusal(v); !why.isEmpty()) {
        qv::Msg::info(why);
        return;
    }
    std::optional<qv::SaveResult> saved;
    // A refused save leaves every line on screen, so that the user can try again.
    if (!qv::guarded([&] { saved = m_store.save(v, IsNewVoucher, LoginUser); }, cmdSave))
        return;
    if (saved->outcome == qv::SaveResult::Outcome::Gone) {
        qv::Msg::info(
            QStringLiteral("Voucher %1%2 was deleted by another user after it was opened, so nothing was "
                           "saved. Its lines are still here: press Save again to store them as a new voucher.")
                .arg(m_kind.prefix)
                .arg(v.number));
        qv::guarded([this] { NewNo(); });
        return;
    }
    if (saved->outcome == qv::SaveResult::Outcome::Renumbered)
        qv::Msg::info(QStringLiteral("Voucher number %1%2 was taken by another user meanwhile. This voucher has been "
                                     "saved as %1%3.")
                          .arg(m_kind.prefix)
                          .arg(v.number)
                          .arg(saved->number));
    emit vouchersChanged();
    ClearAll();
    DTPicker->setFocus();
    totGrdAmount();
}

void frmVoucher::showVoucher(const qv::Voucher& v)
{
    DTPicker->setDate(v.date);
    if (m_kind.kind == qv::VoucherKind::BR)
        txtChecque->setText(v.masterCheque); // the bank receive window shows the master's cheque
    txtPaidTo->setText(v.party);
    if (v.lines.empty()) {
        cmdDelete->setEnabled(false);
        return;
    }
    if (m_kind.bankContra) {
        const qv::VoucherLine& first = v.lines.front();
        if (m_kind.contraBox() == qv::CrBox)
            setAccount(txtCrAc, first.crAc, first.crName);
        else
            setAccount(txtDrAc, first.drAc, first.drName);
    }
    MshEntry->setRowCount(0);
    setGrid();
    for (const qv::VoucherLine& l : v.lines) {
        const int row = lineCount();
        MshEntry->insertRow(row);
        setLineRow(row, l);
    }
    cmdDelete->setEnabled(true);
}

void frmVoucher::OpenVoucher()
{
    if (txtVoucher->text().trimmed().isEmpty()) {
        totGrdAmount();
        return;
    }
    std::optional<qv::Voucher> v;
    if (!qv::guarded([&] { v = m_store.open(m_kind.kind, txtVoucher->text().trimmed().toLongLong()); }))
        return;
    if (!v) {
        qv::Msg::info(QStringLiteral("Voucher not found!"));
        ClearAll();
        DTPicker->setFocus();
        return;
    }
    showVoucher(*v);
    totGrdAmount();
}

void frmVoucher::openForChange(qint64 number)
{
    ClearAll();
    txtVoucher->setText(QString::number(number));
    SSTab->setCurrentIndex(0);
    OpenVoucher();
    DTPicker->setFocus();
    IsNewVoucher = false;
}

void frmVoucher::cmdDelete_Click()
{
    const QString number = txtVoucher->text().trimmed();
    if (!number.isEmpty() && qv::Msg::askDestructive(QStringLiteral("are you sure Delete this Voucher "))) {
        bool removed = false;
        if (qv::guarded([&] { removed = m_store.remove(m_kind.kind, number.toLongLong()); })) {
            if (!removed)
                qv::Msg::info(QStringLiteral("Voucher %1%2 had already been deleted by another user.")
                                  .arg(m_kind.prefix, number));
            ClearAll();
            DTPicker->setFocus();
            cmdDelete->setEnabled(false);
        }
    }
    emit vouchersChanged();
    totGrdAmount();
}

void frmVoucher::cmdCancel_Click()
{
    ClearAll();
    DTPicker->setFocus();
    cmdDelete->setEnabled(false);
}

void frmVoucher::ClearAll()
{
    DTPicker->setDate(QDate::currentDate());
    for (QLineEdit* e : {txtVoucher, txtChecque, txtPaidTo, txtDRCR, txtBill})
        e->clear();
    txtNaration->clear();
    clearBoxes(m_kind.entry.clearedByClear);
    setChangingRow(-1);
    MshEntry->setRowCount(0);
    setGrid();
    totGrdAmount();
    qv::guarded([this] { NewNo(); });
    putBackFixedAccount();
}
