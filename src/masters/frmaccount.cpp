#include "masters/frmaccount.h"

#include "masters/accountcodes.h"
#include "masters/accountentry.h"
#include "masters/accounttree.h"
#include "masters/searchmodel.h"
#include "reports/printchart.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"
#include "widgets/keys.h"
#include "widgets/msgbox.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>

using namespace qv::accounts;

namespace {
const QString New = QStringLiteral("&New");
const QString Save = QStringLiteral("&Save");

// Database errors reach the user as a message and leave the window as it was.
template <class F> bool guarded(F&& f)
{
    try {
        f();
        return true;
    } catch (const qv::DbError& e) {
        qv::Msg::critical(e.description());
        return false;
    }
}

bool shown(const QWidget* w) { return !w->isHidden(); }

QLineEdit* box(QWidget* parent, const char* name)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    return e;
}

QLabel* label(QWidget* parent, const char* name, const QString& text)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

} // namespace

frmAccount::frmAccount(QWidget* parent) : qv::MdiChild(parent), m_store(Conn)
{
    setObjectName(QStringLiteral("frmAccount"));
    setWindowTitle(QStringLiteral("Chart Of Accounts"));
    auto* outer = new QVBoxLayout(this);
    auto* heading = label(this, "Label1", QStringLiteral("CHART OF ACCOUNTS"));
    heading->setAlignment(Qt::AlignCenter);
    heading->setFont(QFont(QStringLiteral("DejaVu Serif"), 16, QFont::Bold));
    heading->setStyleSheet(QStringLiteral("color:#1f4e79"));
    outer->addWidget(heading);
    SSTab = new QTabWidget(this);
    SSTab->setObjectName(QStringLiteral("SSTab"));
    outer->addWidget(SSTab, 1);
    auto* tab0 = new QWidget(SSTab);
    auto* tab1 = new QWidget(SSTab);
    SSTab->addTab(tab0, QStringLiteral("Add / Change Account"));
    SSTab->addTab(tab1, QStringLiteral("Search Account"));
    buildEntryTab(tab0);
    buildSearchTab(tab1);
    // Level 1 and level 2 titles: upper case; Enter is left alone there.
    qv::upperCase(txtAcDes);
    qv::upperCase(txtSubControl);
    qv::charFilter(txtOrder, QStringLiteral("[0-9]"));

    // Load.
    SSTab->setCurrentIndex(0);
    frmEntry->dtpOpening->setDate(QDate::currentDate());
    guarded([this] { FillTreeData(); });
    guarded([this] { SetMaxlength(); });
    guarded([this] { FillGrid(); });
}

QSize frmAccount::sizeHint() const { return {1000, 640}; }

void frmAccount::buildEntryTab(QWidget* tab)
{
    auto* lay = new QHBoxLayout(tab);
    lstTree = new qv::AccountTree(tab);
    lstTree->setObjectName(QStringLiteral("lstTree"));
    lstTree->setMinimumWidth(340);
    lay->addWidget(lstTree, 5);

    auto* right = new QVBoxLayout;
    lay->addLayout(right, 7);
    txtFindParent = box(tab, "txtFindParent");
    txtFindParent->hide();
    auto* level = new QHBoxLayout;
    level->addWidget(label(tab, "Label2", QStringLiteral("Select Account Level")));
    chkHead = new QCheckBox(QStringLiteral("Controle Account"), tab);
    chkHead->setObjectName(QStringLiteral("chkHead"));
    level->addWidget(chkHead);
    level->addStretch(1);
    right->addLayout(level);

    lblTitle = label(tab, "lblTitle", QStringLiteral("Level - 1  Control Account Title "));
    right->addWidget(lblTitle);
    auto* titleRow = new QHBoxLayout;
    txtAcDes = box(tab, "txtAcDes");
    txtAcDes->setEnabled(false);
    txtOrder = box(tab, "txtOrder");
    txtOrder->setEnabled(false);
    txtOrder->setMaxLength(4);
    txtOrder->setFixedWidth(70);
    txtOrder->setPlaceholderText(QStringLiteral("Order"));
    titleRow->addWidget(txtAcDes, 1);
    titleRow->addWidget(txtOrder);
    right->addLayout(titleRow);

    lblSubControl = label(tab, "lblSubControl", QStringLiteral("Level - 2    SubControl Account Title"));
    txtSubControl = box(tab, "txtSubControl");
    txtSubControl->setEnabled(false);
    showSubControl(false);
    right->addWidget(lblSubControl);
    right->addWidget(txtSubControl);

    frmEntry = new qv::AccountEntry(tab);
    txtSubsidiary = frmEntry->txtSubsidiary;
    frmEntry->hide();
    right->addWidget(frmEntry);
    right->addStretch(1);

    auto* buttons = new QHBoxLayout;
    auto button = [&](QPushButton*& b, const char* name, const QString& text) {
        b = new QPushButton(text, tab);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
    };
    button(cmdCreateAc, "cmdCreateAc", New);
    button(Command3, "Command3", QStringLiteral("&Delete"));
    button(cmdCancel, "cmdCancel", QStringLiteral("&Cancel"));
    button(cmdPrint, "cmdPrint", QStringLiteral("&Print"));
    button(cmdExit, "cmdExit", QStringLiteral("E&xit"));
    right->addLayout(buttons);

    mnuPop = new QMenu(this);
    mnuPop->setObjectName(QStringLiteral("mnuPop"));
    mnuEdit = mnuPop->addAction(QStringLiteral("Edit"));
    mnuEdit->setObjectName(QStringLiteral("mnuEdit"));

    connect(lstTree, &qv::AccountTree::mouseDown, this,
            [this](Qt::MouseButton b) { RightButtonDown = b == Qt::RightButton; });
    connect(lstTree, &qv::AccountTree::nodeClick, this, &frmAccount::lstTree_NodeClick);
    connect(lstTree, &qv::AccountTree::nodeToggled, this, &frmAccount::lstTree_Toggled);
    connect(mnuEdit, &QAction::triggered, this, &frmAccount::mnuEdit_Click);
    connect(cmdCreateAc, &QPushButton::clicked, this, &frmAccount::cmdCreateAc_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmAccount::cmdCancel_Click);
    connect(Command3, &QPushButton::clicked, this, &frmAccount::Command3_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmAccount::cmdExit_Click);
    connect(cmdPrint, &QPushButton::clicked, this, [] { PrintChartOfAccounts(); });
    connect(chkHead, &QCheckBox::toggled, this, [this](bool on) {
        if (!on)
            txtAcDes->setEnabled(false);
    });
    qv::boldWhenTicked(chkHead);
}

void frmAccount::buildSearchTab(QWidget* tab)
{
    auto* lay = new QVBoxLayout(tab);
    auto* row = new QHBoxLayout;
    row->addWidget(label(tab, "Label3", QStringLiteral("Search Subsidiary Accounts:")));
    txtFindAC = box(tab, "txtFindAC");
    row->addWidget(txtFindAC, 1);
    lay->addLayout(row);
    mshSearch = qv::newSearchGrid(tab);
    lay->addWidget(mshSearch, 1);
    connect(txtFindAC, &QLineEdit::textChanged, this, [this] { guarded([this] { FillGrid(); }); });
    connect(mshSearch, &QTableView::doubleClicked, this, [this](const QModelIndex& i) { mshSearch_DblClick(i.row()); });
}

// ---- tree ---------------------------------------------------------------------------------

void frmAccount::FillTreeData() { lstTree->fill(m_store.treeRows()); }

QTreeWidgetItem* frmAccount::nodeByKey(const QString& key) const { return lstTree->nodeByKey(key); }

void frmAccount::EditAC(qint32 rowId)
{
    QTreeWidgetItem* item = lstTree->locate(QString::number(rowId));
    if (!item)
        return;
    selectNode(item);
    guarded([this] { FillData(); });
    // As after a click on the node: the level-1 and level-2 boxes stay closed.
    chkHead->setChecked(false);
    closeTitles();
}

void frmAccount::selectNode(QTreeWidgetItem* item)
{
    SelectedKey = item->data(0, qv::AccountTree::KeyRole).toString();
    txtFindParent->setText(item->data(0, qv::AccountTree::TagRole).toString());
}

void frmAccount::closeTitles()
{
    txtAcDes->setEnabled(false);
    txtOrder->setEnabled(false);
    txtSubControl->setEnabled(false);
}

void frmAccount::showSubControl(bool on)
{
    txtSubControl->setVisible(on);
    lblSubControl->setVisible(on);
}

void frmAccount::lstTree_NodeClick(QTreeWidgetItem* item)
{
    selectNode(item);
    guarded([this] { FillData(); });
    chkHead->setChecked(false);
    closeTitles();
    if (RightButtonDown && (LoadedStatus == Control || LoadedStatus == SubControl))
        mnuPop->exec(lstTree->viewport()->mapToGlobal(lstTree->visualItemRect(item).center()));
    RightButtonDown = false;
    LoadedStatus.clear();
}

void frmAccount::lstTree_Toggled()
{
    ClearAll();
    // A failure here must not stop the reset below.
    try {
        if (QTreeWidgetItem* item = lstTree->currentItem())
            selectNode(item);
        FillData();
    } catch (const qv::DbError&) {
    }
    cmdCreateAc->setText(New);
    closeTitles();
    chkHead->setChecked(false);
    frmEntry->hide();
}

void frmAccount::mnuEdit_Click()
{
    cmdCreateAc->setText(Save);
    chkHead->setChecked(false);
    chkHead->setEnabled(false);
    if (LoadedStatus == Control) {
        txtAcDes->setEnabled(true);
        txtOrder->setEnabled(true);
        txtAcDes->setFocus();
        txtSubControl->setEnabled(false);
        showSubControl(false);
    } else if (LoadedStatus == SubControl) {
        txtAcDes->setEnabled(false);
        txtOrder->setEnabled(false);
        txtSubControl->setEnabled(true);
        showSubControl(true);
        txtSubControl->setFocus();
    }
}

// ---- loading and clearing -----------------------------------------------------------------

void frmAccount::ClearAll()
{
    for (QLineEdit* e : {txtAcDes, txtOrder, txtSubControl, txtSubsidiary})
        e->clear();
    frmEntry->clearDetails();
}

void frmAccount::SetMaxlength()
{
    frmEntry->setMaxLengths(m_store);
    const int title = m_store.columnWidth(QStringLiteral("AcName"));
    if (title > 0)
        for (QLineEdit* e : {txtAcDes, txtSubControl, txtSubsidiary})
            e->setMaxLength(title);
}

qint64 frmAccount::selectedRowId() const { return txtFindParent->text().trimmed().toLongLong(); }

void frmAccount::FillData()
{
    ClearAll();
    if (txtFindParent->text().isEmpty())
        return;
    qv::RecordSet rs = m_store.load(selectedRowId());
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
        cmdCreateAc->setText(New);
        NewAccountMode = false;
        frmEntry->hide();
        showSubControl(false);
        txtOrder->setEnabled(true);
        OldTitle = txtAcDes->text();
    } else if (LoadedStatus == SubControl) {
        chkHead->setChecked(false);
        chkHead->setEnabled(false);
        txtOrder->setEnabled(false);
        txtSubControl->setText(title);
        cmdCreateAc->setText(New);
        NewAccountMode = false;
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
        cmdCreateAc->setText(Save);
        NewAccountMode = false;
    }
}

// ---- new, save, cancel, delete, exit ------------------------------------------------------

void frmAccount::cmdCreateAc_Click()
{
    if (cmdCreateAc->text() == New)
        guarded([this] { newAccount(); });
    else
        saveAccount();
}

void frmAccount::newAccount()
{
    cmdCreateAc->setText(Save);
    NewAccountMode = true;
    ClearAll();
    if (chkHead->isChecked() || lstTree->topLevelItemCount() == 0) {
        txtAcDes->setEnabled(true);
        txtOrder->setEnabled(true);
        txtAcDes->setFocus();
    }
    if (!txtFindParent->text().isEmpty()) {
        // The selected node decides the level of the new account.
        if (const auto n = m_store.node(selectedRowId())) {
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
            qv::Msg::info(QStringLiteral("please enter a valid Opening Balance"));
            frmEntry->txt_OpenBal->setFocus();
            return;
        }
    }
    QString code;
    bool edited = false;
    try {
        // Only a control or a subsidiary title is tested; sub-control titles may repeat.
        QLineEdit* candidate = txtAcDes->isEnabled()                                ? txtAcDes
                             : (!txtSubControl->isEnabled() && shown(frmEntry)) ? txtSubsidiary
                                                                                 : nullptr;
        if (candidate && (NewAccountMode || candidate->text() != OldTitle)) {
            // The account being retitled does not count against itself.
            qint64 self = 0;
            if (!chkHead->isChecked())
                if (const auto n = m_store.node(selectedRowId()))
                    if (n->status == Subsidiary || (n->status == Control && !NewAccountMode))
                        self = n->rowId;
            if (m_store.titleExists(candidate->text(), self)) {
                qv::Msg::info(QStringLiteral("Account Titel is already exitis, please change Account Title"));
                candidate->setFocus();
                return;
            }
        }
        if (!writeAccount(&code, &edited))
            return;
    } catch (const qv::DbError& e) {
        qv::Msg::critical(e.description());
        return;
    }
    cmdCreateAc->setText(New);
    txtSubControl->setEnabled(false);
    if (guarded([this] { FillTreeData(); }))
        openSavedBranch(code, edited);
    chkHead->setChecked(false);
    guarded([this] { FillGrid(); });
}

// Runs the write the selected node calls for. False when a message ended the click.
bool frmAccount::writeAccount(QString* code, bool* edited)
{
    if (chkHead->isChecked()) {
        *code = m_store.addControl(txtAcDes->text(), txtOrder->text()).code;
        txtAcDes->clear();
        return true;
    }
    if (txtFindParent->text().isEmpty()) {
        qv::Msg::info(QStringLiteral("please select any one type or create a control account "));
        return false;
    }
    const qint64 id = selectedRowId();
    const auto n = m_store.node(id);
    const QString gone = QStringLiteral("The selected account no longer exists; nothing was saved.");
    if (!n) {
        qv::Msg::info(gone);
        return true;
    }
    std::optional<qv::AddedAccount> added;
    bool found = true;
    if (n->status == Control && NewAccountMode) {
        if (!requireTitle(txtSubControl))
            return false;
        added = m_store.addSubControl(id, txtSubControl->text());
        if (added) {
            txtAcDes->clear();
            txtSubControl->clear();
        }
        found = added.has_value();
    } else if (n->status == Control) {
        found = m_store.renameControl(id, txtAcDes->text(), txtOrder->text());
    } else if (n->status == SubControl && NewAccountMode) {
        if (!requireTitle(txtSubsidiary))
            return false;
        added = m_store.addSubsidiary(id, frmEntry->input());
        found = added.has_value();
    } else if (n->status == SubControl) {
        if (!requireTitle(txtSubControl))
            return false;
        found = m_store.renameSubControl(id, txtSubControl->text());
    } else {
        if (!requireTitle(txtSubsidiary))
            return false;
        found = m_store.updateSubsidiary(id, frmEntry->input());
    }
    if (!found) {
        qv::Msg::info(gone);
        return true;
    }
    *edited = !added;
    *code = added ? added->code : n->code;
    return true;
}

void frmAccount::openSavedBranch(const QString& code, bool edited)
{
    if (code.isEmpty())
        return;
    lstTree->openBranch(code, edited);
    if (!edited)
        return;
    try {
        if (const auto n = m_store.node(selectedRowId()))
            cmdCreateAc->setText(n->status == Subsidiary ? Save : New);
    } catch (const qv::DbError&) {
        // Opening the branch is a courtesy; it never stops a save.
    }
}

void frmAccount::cmdCancel_Click()
{
    ClearAll();
    frmEntry->hide();
    txtSubControl->setEnabled(false);
    txtAcDes->setEnabled(false);
    cmdCreateAc->setText(New);
    chkHead->setChecked(false);
    lstTree->setFocus();
}

void frmAccount::Command3_Click()
{
    guarded([this] {
        const qint64 id = selectedRowId();
        const qv::DeleteCheck check = m_store.checkDelete(id);
        if (check != qv::DeleteCheck::Allowed) {
            qv::Msg::info(qv::AccountStore::refusalText(check));
            return;
        }
        if (qv::Msg::askYesNo(QStringLiteral("are you sure delete this account"), {}, qv::Msg::Icon::Information)) {
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
            txtFindParent->clear();
        }
        FillGrid();
    });
}

void frmAccount::cmdExit_Click()
{
    // Opened for the account finder: it stays loaded, the finder is still in charge.
    if (OpenedForCaller)
        hideWindow();
    else
        unload();
}

// ---- search -------------------------------------------------------------------------------

void frmAccount::FillGrid()
{
    qv::fillSearchGrid(mshSearch, m_store.search(txtFindAC->text()));
    setGrid();
}

void frmAccount::setGrid() { qv::formatSearchGrid(mshSearch); }

void frmAccount::mshSearch_DblClick(int row)
{
    const qv::FoundAccount* line = qv::searchModel(mshSearch)->line(row);
    if (!line || line->rowId == 0)
        return;
    EditAC(qint32(line->rowId));
    SSTab->setCurrentIndex(0);
}
