#include "bankrec/frmbankrec.h"

#include "masters/finderpick.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "widgets/accountbox.h"
#include "widgets/amountbox.h"
#include "widgets/datebox.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"
#include "widgets/status.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

using qv::BankLine;

namespace {
enum Col { ColTick, ColCleared, ColDate, ColVoucher, ColParty, ColCheque, ColReceipt, ColPayment, ColCount };

QString shown(const QDate& d)
{
    return d.isValid() ? d.toString(qv::DateBox::format()) : QString();
}
} // namespace

frmBankRec::frmBankRec(QWidget* parent)
    : qv::MdiChild(parent)
{
    setObjectName(QStringLiteral("frmBankRec"));
    setWindowTitle(QStringLiteral("Bank Reconciliation"));
    buildLayout();
    connect(cmdFindBank, &QPushButton::clicked, this, &frmBankRec::cmdFindBank_Click);
    connect(cmdShow, &QPushButton::clicked, this, &frmBankRec::cmdShow_Click);
    connect(cmdFinish, &QPushButton::clicked, this, &frmBankRec::cmdFinish_Click);
    connect(cmdPostpone, &QPushButton::clicked, this, &frmBankRec::cmdPostpone_Click);
    connect(cmdUndo, &QPushButton::clicked, this, &frmBankRec::cmdUndo_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &frmBankRec::cmdPrint_Click);
    connect(cmdImport, &QPushButton::clicked, this, &frmBankRec::cmdImport_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmBankRec::unload);
    connect(txtCheque, &QLineEdit::textEdited, this, &frmBankRec::findCheque);
    connect(grdLines, &QTableWidget::itemChanged, this, &frmBankRec::cellEdited);
    txtCheque->installEventFilter(this);
    grdLines->installEventFilter(this);
    // A statement is normally that of the month just ended.
    const QDate today = QDate::currentDate();
    dtpStatement->setDate(QDate(today.year(), today.month(), 1).addDays(-1));
    m_firstFocus = cmdFindBank;
    showFigures();
}

void frmBankRec::cmdFindBank_Click()
{
    m_pickingBank = true;
    FindACType = QStringLiteral("B");
    qv::showFinder(true);
    if (qv::MdiChild* finder = qv::Windows::find(QStringLiteral("frmFindAC")))
        if (auto* all = finder->findChild<QCheckBox*>(QStringLiteral("chkAll")))
            all->setVisible(true);
}

void frmBankRec::onActivated()
{
    if (m_pickingBank && qv::finderPickPending()) {
        qv::takeFinderPick(txtBank);
        dtpStatement->setFocus();
    }
    m_pickingBank = false;
    FindACType.clear();
}

bool frmBankRec::hasUnsavedWork() const
{
    return m_account > 0 && ticks() != m_kept;
}

QHash<qint64, QDate> frmBankRec::ticks() const
{
    QHash<qint64, QDate> out;
    for (const BankLine& l : m_lines)
        if (l.state == BankLine::State::Ticked)
            out.insert(l.rowId, l.clearDate);
    return out;
}

bool frmBankRec::readStatement(qv::Money* statement)
{
    const auto m = qv::parseAmount(txtStatementBal->text());
    if (!m) {
        const QString why = qv::amountProblem(txtStatementBal->text());
        qv::Msg::info(why.isEmpty() ? QStringLiteral("Please type the closing balance of the bank's statement.") : why);
        txtStatementBal->setFocus();
        return false;
    }
    *statement = *m;
    return true;
}

void frmBankRec::cmdShow_Click()
{
    dtpStatement->commitTyped();
    if (!txtBank->hasAccount()) {
        qv::Msg::info(QStringLiteral("Please select the bank account."));
        cmdFindBank->setFocus();
        return;
    }
    qv::Money statement;
    if (!readStatement(&statement))
        return;
    const bool sameSet = txtBank->accountId() == m_account && dtpStatement->date() == m_date;
    if (sameSet) { // only the balance changed: the ticks stay
        m_statement = statement;
        showFigures();
        return;
    }
    if (!mayDropUnsavedWork())
        return;
    m_account = txtBank->accountId();
    m_date = dtpStatement->date();
    m_statement = statement;
    loadLines();
}

void frmBankRec::loadLines()
{
    qv::guarded([this] {
        qv::Reconciliation rec(TheBook);
        const QStringList lost = rec.takeLostTicks(m_account);
        m_last = rec.last(m_account);
        m_lines = rec.lines(m_account, m_date);
        m_book = rec.bookBalance(m_account, m_date);
        m_kept = ticks();
        if (!lost.isEmpty())
            qv::Msg::info(QStringLiteral("These vouchers were changed after their lines were ticked, and the lines "
                                         "lost their ticks: %1. Tick them again if the bank cleared them.")
                              .arg(lost.join(QStringLiteral(", "))));
    });
    lblLast->setText(m_last ? QStringLiteral("Last reconciled as at %1, statement balance %2")
                                  .arg(shown(m_last->date), qv::displayAmount(m_last->balance))
                            : QStringLiteral("Not reconciled yet"));
    fillGrid();
    showFigures();
    grdLines->setFocus();
    if (grdLines->rowCount() > 0)
        grdLines->setCurrentCell(0, ColTick);
}

void frmBankRec::fillGrid()
{
    m_filling = true;
    grdLines->setUpdatesEnabled(false);
    grdLines->setRowCount(int(m_lines.size()));
    for (int r = 0; r < int(m_lines.size()); ++r) {
        const BankLine& l = m_lines[size_t(r)];
        const bool locked = l.state == BankLine::State::Cleared;
        const QStringList cells = {QString(),
                                   shown(l.clearDate),
                                   shown(l.date),
                                   l.voucher(),
                                   l.party,
                                   l.cheque,
                                   l.receipt == qv::Money() ? QString() : qv::displayAmount(l.receipt),
                                   l.payment == qv::Money() ? QString() : qv::displayAmount(l.payment)};
        for (int c = 0; c < ColCount; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
            if (c == ColTick && !locked)
                flags |= Qt::ItemIsUserCheckable;
            if (c == ColCleared && l.state == BankLine::State::Ticked)
                flags |= Qt::ItemIsEditable;
            item->setFlags(locked ? (flags & ~Qt::ItemIsEnabled) | Qt::ItemIsSelectable : flags);
            if (c == ColTick)
                item->setCheckState(l.state == BankLine::State::Open ? Qt::Unchecked : Qt::Checked);
            if (c == ColReceipt || c == ColPayment)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (locked && c == ColVoucher)
                item->setToolTip(QStringLiteral("Cleared in the reconciliation as at %1").arg(shown(m_last->date)));
            grdLines->setItem(r, c, item);
        }
    }
    grdLines->resizeColumnsToContents(); // measured on the first rows (the header's precision)
    grdLines->setUpdatesEnabled(true);
    m_filling = false;
}

void frmBankRec::toggleRow(int row)
{
    if (row < 0 || row >= int(m_lines.size()))
        return;
    BankLine& l = m_lines[size_t(row)];
    if (l.state == BankLine::State::Cleared) {
        qv::Status::say(
            QStringLiteral("%1 is cleared in a finished reconciliation: it stays as it is").arg(l.voucher()));
        return;
    }
    const bool tick = l.state == BankLine::State::Open;
    l.state = tick ? BankLine::State::Ticked : BankLine::State::Open;
    l.clearDate = tick ? m_date : QDate();
    m_filling = true;
    grdLines->item(row, ColTick)->setCheckState(tick ? Qt::Checked : Qt::Unchecked);
    QTableWidgetItem* date = grdLines->item(row, ColCleared);
    date->setText(shown(l.clearDate));
    date->setFlags(tick ? date->flags() | Qt::ItemIsEditable : date->flags() & ~Qt::ItemIsEditable);
    m_filling = false;
    showFigures();
}

void frmBankRec::cellEdited(QTableWidgetItem* item)
{
    if (m_filling)
        return;
    const int row = item->row();
    if (row < 0 || row >= int(m_lines.size()))
        return;
    BankLine& l = m_lines[size_t(row)];
    if (item->column() == ColTick) {
        // A click on the box: the item is already toggled; bring the line in step.
        const bool checked = item->checkState() == Qt::Checked;
        if (checked != (l.state == BankLine::State::Ticked))
            toggleRow(row);
        return;
    }
    if (item->column() != ColCleared || l.state != BankLine::State::Ticked)
        return;
    const std::optional<QDate> typed = qv::DateBox::readTyped(item->text(), l.clearDate);
    const QString why = typed ? qv::Reconciliation(TheBook).clearDateProblem(
                            *typed, m_date, m_last ? std::optional<QDate>(m_last->date) : std::nullopt)
                              : QStringLiteral("\"%1\" is no date.").arg(item->text());
    if (why.isEmpty())
        l.clearDate = *typed;
    else
        qv::Msg::info(why);
    m_filling = true;
    item->setText(shown(l.clearDate));
    m_filling = false;
}

void frmBankRec::findCheque(const QString& typed)
{
    const QString t = typed.trimmed();
    if (t.isEmpty())
        return;
    for (int r = 0; r < int(m_lines.size()); ++r)
        if (m_lines[size_t(r)].cheque.startsWith(t, Qt::CaseInsensitive)) {
            grdLines->setCurrentCell(r, ColCheque);
            grdLines->scrollToItem(grdLines->item(r, ColCheque));
            return;
        }
    qv::Status::say(QStringLiteral("No line has a cheque number beginning with %1").arg(t));
}

bool frmBankRec::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return qv::MdiChild::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == grdLines && key->key() == Qt::Key_Space) {
        toggleRow(grdLines->currentRow());
        return true;
    }
    if (watched == txtCheque && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        // The found line is ticked; the box is ready for the next cheque.
        const int row = grdLines->currentRow();
        if (!txtCheque->text().trimmed().isEmpty() && row >= 0
            && m_lines[size_t(row)].cheque.startsWith(txtCheque->text().trimmed(), Qt::CaseInsensitive))
            toggleRow(row);
        txtCheque->clear();
        return true;
    }
    return qv::MdiChild::eventFilter(watched, event);
}

void frmBankRec::showFigures()
{
    const qv::ReconFigures f = qv::Reconciliation::figures(m_book, m_statement, m_lines);
    const bool loaded = m_account > 0;
    lblBook->setText(loaded ? qv::displayAmount(f.book) : QString());
    lblCleared->setText(loaded ? qv::displayAmount(f.cleared) : QString());
    lblStatement->setText(loaded ? qv::displayAmount(f.statement) : QString());
    lblDifference->setText(loaded ? qv::displayAmount(f.difference) : QString());
    const bool balanced = loaded && f.difference == qv::Money();
    lblDifference->setStyleSheet(loaded && !balanced ? QStringLiteral("color: #b00020; font-weight: bold")
                                                     : QStringLiteral("font-weight: bold"));
    cmdFinish->setEnabled(balanced);
    cmdPostpone->setEnabled(loaded);
    cmdImport->setEnabled(loaded);
    cmdPrint->setEnabled(txtBank->hasAccount());
}

void frmBankRec::cmdPostpone_Click()
{
    if (qv::guarded([this] { qv::Reconciliation(TheBook).postpone(m_account, m_date, ticks(), LoginUser); })) {
        qv::Status::say(
            QStringLiteral("%1 ticked line(s) of %2 kept for later").arg(ticks().size()).arg(txtBank->text()));
        m_kept = ticks();
    } else {
        loadLines();
    }
}

void frmBankRec::cmdFinish_Click()
{
    qv::FinishedRecon done;
    if (!qv::guarded(
            [&] { done = qv::Reconciliation(TheBook).finish(m_account, m_date, m_statement, ticks(), LoginUser); })) {
        loadLines();
        return;
    }
    qv::Status::say(QStringLiteral("Bank reconciliation of %1 as at %2 finished").arg(txtBank->text(), shown(m_date)));
    loadLines();
}

void frmBankRec::cmdUndo_Click()
{
    if (!txtBank->hasAccount())
        return;
    const qint64 account = txtBank->accountId();
    std::optional<qv::FinishedRecon> last;
    qv::guarded([&] { last = qv::Reconciliation(TheBook).last(account); });
    if (!last) {
        qv::Msg::info(QStringLiteral("This account has no finished reconciliation."));
        return;
    }
    if (!qv::Msg::askDestructive(QStringLiteral("Undo the reconciliation of %1 as at %2? Its lines become ticked "
                                                "lines again.")
                                     .arg(txtBank->text(), shown(last->date))))
        return;
    if (!qv::guarded([&] { qv::Reconciliation(TheBook).undo(last->id, LoginUser); }))
        return;
    qv::Status::say(QStringLiteral("The reconciliation as at %1 was undone").arg(shown(last->date)));
    if (m_account == account)
        loadLines();
}
