#include "masters/frmaccount.h"

#include "masters/accountcodes.h"
#include "masters/accountentry.h"
#include "masters/accounttree.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"
#include "widgets/status.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QPointer>

using namespace qv::accounts;
using qv::guarded;

namespace {
bool shown(const QWidget* w)
{
    return !w->isHidden();
}
} // namespace

QSize frmAccount::sizeHint() const
{
    return {1000, 640};
}

// ---- loading and clearing -----------------------------------------------------------------

void frmAccount::ClearAll()
{
    for (QLineEdit* e : {txtAcDes, txtOrder, txtSubControl, txtSubsidiary})
        e->clear();
    frmEntry->clearDetails();
    m_stored.take();
}

bool frmAccount::hasUnsavedWork() const
{
    return m_mode != Mode::Browse && m_stored.changed();
}

bool frmAccount::keepsWorkOver(QTreeWidgetItem* item)
{
    const QString key = item ? item->data(0, qv::AccountTree::KeyRole).toString() : QString();
    if (!hasUnsavedWork()) {
        m_keptOver.clear();
        return false;
    }
    if (!key.isEmpty() && key == m_keptOver)
        return true;
    if (mayDropUnsavedWork()) {
        m_keptOver.clear();
        return false;
    }
    m_keptOver = key;
    return true;
}

void frmAccount::SetMaxlength()
{
    frmEntry->setMaxLengths(m_store);
    const int title = m_store.columnWidth(QStringLiteral("AcName"));
    if (title > 0)
        for (QLineEdit* e : {txtAcDes, txtSubControl, txtSubsidiary})
            e->setMaxLength(title);
}

void frmAccount::FillData()
{
    ClearAll();
    if (m_selectedId <= 0)
        return;
    qv::RecordSet rs = m_store.load(m_selectedId);
    if (rs.recordCount() == 0)
        return;
    rs.moveFirst();
    LoadedStatus = rs.text(QStringLiteral("AcStatus")).trimmed();
    const QString title = rs.text(QStringLiteral("AcName"));
    const QString parent = rs.text(QStringLiteral("ParentID"));
    if (LoadedStatus == Control) {
        chkHead->setEnabled(true);
        txtAcDes->setText(title);
        txtOrder->setText(rs.text(QStringLiteral("OrderStatus")));
        setMode(Mode::Browse);
        frmEntry->hide();
        showSubControl(false);
        txtOrder->setEnabled(true);
        OldTitle = txtAcDes->text();
    } else if (LoadedStatus == SubControl) {
        chkHead->setChecked(false);
        chkHead->setEnabled(false);
        txtOrder->setEnabled(false);
        txtSubControl->setText(title);
        setMode(Mode::Browse);
        showSubControl(true);
        frmEntry->hide();
        OldTitle = txtSubControl->text();
        if (const auto control = m_store.titleByCode(parent))
            txtAcDes->setText(*control);
    } else if (LoadedStatus == Subsidiary) {
        chkHead->setChecked(false);
        chkHead->setEnabled(false);
        txtOrder->setEnabled(false);
        frmEntry->show();
        showSubControl(true);
        txtSubsidiary->setText(title);
        OldTitle = txtSubsidiary->text();
        if (const auto head = m_store.titleAndParentByCode(parent)) {
            txtSubControl->setText(head->first);
            if (const auto control = m_store.titleByCode(head->second))
                txtAcDes->setText(*control);
        }
        frmEntry->fillDetails(rs);
        setMode(Mode::Change);
    }
    m_stored.take();
}

// ---- new, save, cancel, delete, exit ------------------------------------------------------

void frmAccount::cmdCreateAc_Click()
{
    if (m_mode == Mode::Browse)
        guarded([this] { newAccount(); });
    else
        saveAccount();
}

void frmAccount::newAccount()
{
    setMode(Mode::NewAccount);
    ClearAll();
    if (chkHead->isChecked() || lstTree->topLevelItemCount() == 0) {
        txtAcDes->setEnabled(true);
        txtOrder->setEnabled(true);
        txtAcDes->setFocus();
    }
    if (m_selectedId > 0) {
        // The selected node decides the level of the new account.
        if (const auto n = m_store.node(m_selectedId)) {
            if (n->status == Control && chkHead->isChecked()) {
                txtAcDes->setEnabled(true);
                txtAcDes->setFocus();
                frmEntry->hide();
                showSubControl(false);
            } else if (n->status == Control) {
                txtAcDes->setEnabled(false);
                txtAcDes->setText(n->title);
                txtSubControl->setText(n->title);
                chkHead->setChecked(false);
                chkHead->setEnabled(false);
                showSubControl(true);
                txtSubControl->setEnabled(true);
                txtSubControl->setFocus();
                txtSubControl->selectAll();
            } else if (n->status == SubControl) {
                frmEntry->show();
                showSubControl(true);
                txtSubControl->setEnabled(false);
                txtSubControl->setText(n->title);
                txtSubsidiary->setFocus();
                if (const auto control = m_store.titleByCode(n->parentId))
                    txtAcDes->setText(*control);
            }
        }
    }
    m_stored.take();
    FillGrid();
}

bool frmAccount::requireTitle(QLineEdit* box)
{
    if (!box->text().trimmed().isEmpty())
        return true;
    qv::Msg::info(QStringLiteral("please enter Account Title"));
    box->setFocus();
    return false;
}

void frmAccount::saveAccount()
{
    if (txtAcDes->text().isEmpty()) {
        qv::Msg::info(QStringLiteral("please enter Account Title"));
        return;
    }
    if (shown(frmEntry)) {
        frmEntry->dropLoneDot();
        if (!frmEntry->openBalanceValid()) {
            qv::Msg::info(QStringLiteral("please enter a valid Opening Balance: ")
                          + qv::amountProblem(frmEntry->txt_OpenBal->text()));
            frmEntry->txt_OpenBal->setFocus();
            return;
        }
    }
    QString code;
    bool edited = false;
    bool written = false;
    guarded([&] {
        SaveState st;
        st.controlTicked = chkHead->isChecked();
        st.newAccount = m_mode == Mode::NewAccount;
        st.hasSelection = m_selectedId > 0;
        if (st.hasSelection && !st.controlTicked)
            st.selected = m_store.node(m_selectedId);
        st.controlTitleOpen = txtAcDes->isEnabled();
        st.subControlTitleOpen = txtSubControl->isEnabled();
        st.detailsShown = shown(frmEntry);
        const SavePlan plan = planSave(st);
        if (QLineEdit* unique = titleBox(plan.uniqueTitle);
            unique && (st.newAccount || unique->text() != OldTitle) && m_store.titleExists(unique->text(), plan.self)) {
            qv::Msg::info(QStringLiteral("Account Titel is already exitis, please change Account Title"));
            unique->setFocus();
            return;
        }
        written = writeAccount(plan, &code, &edited);
    });
    if (!written)
        return;
    setMode(Mode::Browse);
    txtSubControl->setEnabled(false);
    if (guarded([this] { FillTreeData(); }))
        openSavedBranch(code, edited);
    chkHead->setChecked(false);
    m_stored.take();
    guarded([this] { FillGrid(); });
    if (!code.isEmpty())
        guarded([&] {
            qv::Status::say(
                QStringLiteral("Account %1 %2 saved").arg(code, m_store.titleByCode(code).value_or(QString())));
        });
}

// Runs the write the plan calls for. False when a message ended the click.
bool frmAccount::writeAccount(const SavePlan& plan, QString* code, bool* edited)
{
    const QString gone = QStringLiteral("The selected account no longer exists; nothing was saved.");
    switch (plan.action) {
    case SaveAction::AddControl:
        *code = m_store.addControl(txtAcDes->text(), txtOrder->text()).code;
        txtAcDes->clear();
        return true;
    case SaveAction::NothingSelected:
        qv::Msg::info(QStringLiteral("please select any one type or create a control account "));
        return false;
    case SaveAction::SelectedGone:
        qv::Msg::info(gone);
        return true;
    default:
        break;
    }
    if (QLineEdit* required = titleBox(plan.requiredTitle); required && !requireTitle(required))
        return false;
    const qint64 id = m_selectedId;
    std::optional<qv::AddedAccount> added;
    bool found = true;
    switch (plan.action) {
    case SaveAction::AddSubControl:
        added = m_store.addSubControl(id, txtSubControl->text());
        if (added) {
            txtAcDes->clear();
            txtSubControl->clear();
        }
        found = added.has_value();
        break;
    case SaveAction::RenameControl:
        found = m_store.renameControl(id, txtAcDes->text(), txtOrder->text());
        break;
    case SaveAction::AddSubsidiary:
        added = m_store.addSubsidiary(id, frmEntry->input());
        found = added.has_value();
        break;
    case SaveAction::RenameSubControl:
        found = m_store.renameSubControl(id, txtSubControl->text());
        break;
    default:
        found = m_store.updateSubsidiary(id, frmEntry->input());
        break;
    }
    if (!found) {
        qv::Msg::info(gone);
        return true;
    }
    *edited = !added;
    *code = added ? added->code : plan.code;
    return true;
}

void frmAccount::openSavedBranch(const QString& code, bool edited)
{
    if (code.isEmpty())
        return;
    lstTree->openBranch(code, edited);
    if (!edited) {
        // The new account is the one selected, shown and loaded, as after a click on it.
        if (QTreeWidgetItem* item = nodeByKey(qv::accounts::nodeKey(code))) {
            lstTree->setFocus();
            lstTree->setCurrentItem(item);
            lstTree->scrollToItem(item);
        }
        return;
    }
    guarded([this] {
        if (const auto n = m_store.node(m_selectedId))
            setMode(n->status == Subsidiary ? Mode::Change : Mode::Browse);
    });
}

void frmAccount::cmdCancel_Click()
{
    if (!mayDropUnsavedWork())
        return;
    ClearAll();
    frmEntry->hide();
    txtSubControl->setEnabled(false);
    txtAcDes->setEnabled(false);
    setMode(Mode::Browse);
    chkHead->setChecked(false);
    lstTree->setFocus();
}

void frmAccount::Command3_Click()
{
    guarded([this] {
        const qint64 id = m_selectedId;
        const qv::DeleteCheck check = m_store.checkDelete(id);
        if (check != qv::DeleteCheck::Allowed) {
            qv::Msg::info(qv::AccountStore::refusalText(check));
            return;
        }
        const std::optional<qv::AccountNode> gone = m_store.node(id);
        if (qv::Msg::askDestructive(QStringLiteral("are you sure delete this account"))) {
            // Checked again with the deletion: another station may have used it meanwhile.
            const qv::DeleteCheck done = m_store.deleteAccount(id);
            if (done != qv::DeleteCheck::Allowed) {
                qv::Msg::info(qv::AccountStore::refusalText(done));
                return;
            }
            FillTreeData();
            frmEntry->hide();
            txtSubControl->setEnabled(false);
            lstTree->setFocus();
            ClearAll();
            setSelected(0);
            if (gone)
                qv::Status::say(QStringLiteral("Account %1 %2 deleted").arg(gone->code, gone->title));
        }
        FillGrid();
    });
}

void frmAccount::cmdExit_Click()
{
    // Opened for the account finder: it stays loaded, the finder is still in charge.
    if (OpenedForCaller) {
        hideWindow();
        bringBackFinder();
    } else {
        unload();
    }
}

void frmAccount::closeEvent(QCloseEvent* e)
{
    qv::MdiChild::closeEvent(e);
    if (e->isAccepted())
        bringBackFinder();
}

// The finder that asked for this window comes back to the front, refilled (its activation
// refills it), instead of staying under the window that was below this one.
void frmAccount::bringBackFinder()
{
    qv::MdiChild* finder = qv::Windows::find(QStringLiteral("frmFindAC"));
    if (!finder || !finder->subWindow())
        return;
    QPointer<QMdiSubWindow> sw = finder->subWindow();
    // After the frame has activated whatever it chose for the hidden or closed window.
    QTimer::singleShot(0, sw, [sw] {
        if (QMdiArea* area = sw->mdiArea()) {
            sw->raise();
            if (area->activeSubWindow() == sw)
                qobject_cast<qv::MdiChild*>(sw->widget())->onActivated();
            else
                area->setActiveSubWindow(sw);
        }
    });
}
