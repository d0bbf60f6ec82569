#include "vouchers/frmvoucher.h"

#include "masters/finderpick.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "widgets/accountbox.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"
#include "widgets/status.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

using qv::Money;

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
    m_stored.watch({DTPicker, txtPaidTo, MshEntry});
}

// ---- setup, numbering, widths ---------------------------------------------------------------

void frmVoucher::FixAccount()
{
    m_setup = m_store.setup(m_kind.kind);
    if (!m_setup)
        return;
    StartVouNo = m_setup->startNo;
    const std::optional<qv::Side> side = m_setup->side();
    if (!side)
        return;
    qv::AccountBox* account = box(*side);
    QPushButton* select = *side == qv::Side::Debit ? cmdSelectDr : cmdSelectCr;
    if (m_setup->acTitle)
        account->setAccount(m_setup->acCode.trimmed().toLongLong(), *m_setup->acTitle);
    else
        account->clear(); // its tag as it was
    account->setEnabled(!m_setup->fix);
    select->setEnabled(!m_setup->fix);
}

void frmVoucher::putBackFixedAccount()
{
    if (!m_setup || !m_setup->fix || !m_setup->acTitle)
        return;
    if (const std::optional<qv::Side> side = m_setup->side())
        box(*side)->setAccount(m_setup->acCode.trimmed().toLongLong(), *m_setup->acTitle);
}

void frmVoucher::NewNo()
{
    // New mode first: when no number can be given (the kind's numbering is exhausted) the box
    // stays empty and nothing opened before can be changed by mistake.
    IsNewVoucher = true;
    m_openedRowId = 0;
    txtVoucher->clear();
    txtVoucher->setText(QString::number(m_store.nextNumber(m_kind.kind, StartVouNo)));
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

void frmVoucher::clearBoxes(int boxes)
{
    if (boxes & qv::DrBox)
        txtDrAc->clearAccount();
    if (boxes & qv::CrBox)
        txtCrAc->clearAccount();
}

void frmVoucher::selectAccount(qv::Side side)
{
    FinderSide = side;
    const bool bankSide = m_kind.bankContra && m_kind.contraBox() == (side == qv::Side::Debit ? qv::DrBox : qv::CrBox);
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
    if (qv::finderPickPending() && FinderSide) {
        qv::takeFinderPick(box(*FinderSide));
        txtDRCR->setFocus();
    }
    if (m_kind.entry.activationEmptiesFinderType)
        FindACType.clear();
}

// ---- save, open, delete, cancel -----------------------------------------------------------

qv::Voucher frmVoucher::voucherOnScreen() const
{
    qv::Voucher v;
    v.kind = m_kind.kind;
    v.number = txtVoucher->text().trimmed().toLongLong();
    v.rowId = IsNewVoucher ? 0 : m_openedRowId;
    v.date = DTPicker->date();
    v.party = txtPaidTo->text();
    for (int row = 0; row < lineCount(); ++row)
        if (lineHasAccount(row))
            v.lines.push_back(lineAt(row));
    return v;
}

void frmVoucher::cmdSave_Click()
{
    cmdDelete->setEnabled(false);
    if (m_pending && !settlePendingSave())
        return;
    if (lineCount() == 0) {
        qv::Msg::info(QStringLiteral("Please enter less than one entry in detail"));
        return;
    }
    // No number was given (the numbering was exhausted): ask again, which says so if it still is.
    if (txtVoucher->text().trimmed().isEmpty() && !qv::guarded([this] { NewNo(); }))
        return;
    const qv::Voucher v = voucherOnScreen();
    if (const QString why = qv::VoucherStore::refusal(v); !why.isEmpty()) {
        qv::Msg::info(why);
        return;
    }
    std::optional<qv::SaveResult> result;
    // A refused save leaves every line on screen, so that the user can try again.
    try {
        result = m_store.save(v, IsNewVoucher, LoginUser);
    } catch (const qv::SaveOutcomeUnknown& unknown) {
        m_pending = unknown.pending;
        qv::showDbError(unknown, cmdSave);
        return;
    } catch (const qv::DbError& e) {
        qv::showDbError(e, cmdSave);
        return;
    }
    if (result->outcome == qv::SaveResult::Outcome::Gone) {
        qv::Msg::info(
            QStringLiteral("Voucher %1%2 was deleted by another user after it was opened, so nothing was "
                           "saved. Its lines are still here: press Save again to store them as a new voucher.")
                .arg(m_kind.prefix)
                .arg(v.number));
        qv::guarded([this] { NewNo(); });
        return;
    }
    if (result->outcome == qv::SaveResult::Outcome::Renumbered)
        qv::Msg::info(QStringLiteral("Voucher number %1%2 was taken by another user meanwhile. This voucher has been "
                                     "saved as %1%3.")
                          .arg(m_kind.prefix)
                          .arg(v.number)
                          .arg(result->number));
    if (result->checkedAfterLoss)
        qv::Msg::info(QStringLiteral("The connection to the server was lost while voucher %1%2 was being saved. It "
                                     "was opened again (now on %3) and the voucher is there, whole: it was saved once.")
                          .arg(m_kind.prefix)
                          .arg(result->number)
                          .arg(Conn.serverName()));
    saved(*result);
}

void frmVoucher::saved(const qv::SaveResult& r)
{
    qv::Status::say(QStringLiteral("%1 %2%3 saved").arg(m_kind.caption, m_kind.prefix).arg(r.number));
    emit vouchersChanged();
    ClearAll();
    DTPicker->setFocus();
    totGrdAmount();
}

bool frmVoucher::settlePendingSave()
{
    const QString name = m_kind.prefix + QString::number(m_pending->voucher.number);
    bool landed = false;
    try {
        landed = m_store.landed(*m_pending);
    } catch (const qv::DbError& e) {
        qv::showDbError(e, cmdSave,
                        QStringLiteral("Whether voucher %1 was saved before the connection was lost is still not "
                                       "known. Its lines are still here; press Save again when the server is back.\n")
                                .arg(name)
                            + QStringLiteral("%1"));
        return false;
    }
    const qv::PendingSave p = *std::exchange(m_pending, std::nullopt);
    if (!landed) {
        qv::Status::say(
            QStringLiteral("Voucher %1 was not saved before the connection was lost; it is saved now").arg(name));
        return true;
    }
    qv::Voucher onScreen = voucherOnScreen();
    if (qv::VoucherStore::sameContent(onScreen, p.voucher)) {
        qv::Msg::info(
            QStringLiteral("Voucher %1 was saved before the connection was lost; it is not saved again.").arg(name));
        saved(p.result);
        return false;
    }
    // The lines were changed after that save: they stay, to be saved as a change of it.
    txtVoucher->setText(QString::number(p.voucher.number));
    IsNewVoucher = false;
    m_openedRowId = p.result.rowId;
    qv::Msg::info(QStringLiteral("Voucher %1 was saved, as it was when Save was pressed, before the connection was "
                                 "lost. The lines on screen were changed since: press Save again to store them as a "
                                 "change of %1.")
                      .arg(name));
    return false;
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
            txtCrAc->setAccount(first.crAc, first.crName);
        else
            txtDrAc->setAccount(first.drAc, first.drName);
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
    m_openedRowId = v->rowId;
    showVoucher(*v);
    totGrdAmount();
    m_stored.take();
}

void frmVoucher::openForChange(qint64 number)
{
    if (!mayDropUnsavedWork())
        return;
    leavePendingSave();
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
        if (qv::guarded([&] { removed = m_store.remove(m_kind.kind, number.toLongLong(), m_openedRowId); })) {
            m_vouchers->changed(number.toLongLong()); // a removal adds no rows for the list to see
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

void frmVoucher::leavePendingSave()
{
    if (!m_pending)
        return;
    const qv::PendingSave p = *std::exchange(m_pending, std::nullopt);
    const QString name = m_kind.prefix + QString::number(p.voucher.number);
    bool landed = false;
    if (qv::guarded([&] { landed = m_store.landed(p); },
                    QStringLiteral("Whether voucher %1 was saved before the connection was lost is not known yet: "
                                   "look for it in the search list when the server is back.\n")
                            .arg(name)
                        + QStringLiteral("%1")))
        qv::Msg::info(landed ? QStringLiteral("Voucher %1 was saved before the connection was lost.").arg(name)
                             : QStringLiteral("Voucher %1 was not saved before the connection was lost.").arg(name));
}

void frmVoucher::cmdCancel_Click()
{
    if (!mayDropUnsavedWork())
        return;
    leavePendingSave();
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
    m_stored.take();
}

bool frmVoucher::hasUnsavedWork() const
{
    return lineCount() > 0 && m_stored.changed();
}

QString frmVoucher::unsavedQuestion() const
{
    return QStringLiteral("The lines of voucher %1%2 are not saved. Drop them?").arg(m_kind.prefix, txtVoucher->text());
}
