// The controls of the chart-of-accounts window, their wiring and view state, and the search tab;
// loading, entering, saving and deleting accounts are in frmaccount.cpp.
#include "masters/accountentry.h"
#include "masters/accounttree.h"
#include "masters/frmaccount.h"
#include "shell/windows.h"
#include "masters/searchmodel.h"
#include "reports/printchart.h"
#include "shell/mdl_connection.h"
#include "widgets/guarded.h"
#include "widgets/keyrules.h"
#include "widgets/keys.h"
#include "widgets/named.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>

using qv::accounts::TitleBox;

namespace {
QLineEdit* box(QWidget* parent, const char* name)
{
    return qv::named<QLineEdit>(parent, name);
}

QLabel* label(QWidget* parent, const char* name, const QString& text)
{
    return qv::named<QLabel>(parent, name, text);
}
} // namespace

frmAccount::frmAccount(QWidget* parent)
    : qv::MdiChild(parent)
    , m_store(Conn)
    , m_list(Conn)
{
    setObjectName(QStringLiteral("frmAccount"));
    setWindowTitle(QStringLiteral("Chart Of Accounts"));
    auto* outer = new QVBoxLayout(this);
    auto* heading = qv::named<QLabel>(this, "Label1", QStringLiteral("CHART OF ACCOUNTS"));
    heading->setAlignment(Qt::AlignCenter);
    heading->setFont(QFont(QStringLiteral("DejaVu Serif"), 16, QFont::Bold));
    heading->setStyleSheet(QStringLiteral("color:#1f4e79"));
    outer->addWidget(heading);
    SSTab = qv::named<QTabWidget>(this, "SSTab");
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
    // A new sub-control account's box starts with its head's title: typing replaces it.
    qv::selectAllOnFocus(txtSubControl);
    qv::charFilter(txtOrder, QStringLiteral("[0-9]"));

    // Load.
    SSTab->setCurrentIndex(0);
    frmEntry->dtpOpening->setDate(QDate::currentDate());
    qv::guarded([this] { FillTreeData(); });
    qv::guarded([this] { SetMaxlength(); });
    qv::guarded([this] { FillGrid(); });
    m_firstFocus = lstTree; // typing starts in the tree
    QList<QWidget*> boxes{txtAcDes,
                          txtOrder,
                          txtSubControl,
                          txtSubsidiary,
                          frmEntry->dtpOpening,
                          frmEntry->chkBank,
                          frmEntry->chkSupplier};
    for (QLineEdit* e : frmEntry->findChildren<QLineEdit*>())
        if (!boxes.contains(e))
            boxes << e;
    m_stored.watch(boxes);
}

void frmAccount::buildEntryTab(QWidget* tab)
{
    auto* lay = new QHBoxLayout(tab);
    lstTree = qv::named<qv::AccountTree>(tab, "lstTree");
    lstTree->setMinimumWidth(340);
    lay->addWidget(lstTree, 5);

    auto* right = new QVBoxLayout;
    lay->addLayout(right, 7);
    txtFindParent = box(tab, "txtFindParent");
    txtFindParent->hide();
    auto* level = new QHBoxLayout;
    level->addWidget(label(tab, "Label2", QStringLiteral("Select Account Level")));
    chkHead = qv::named<QCheckBox>(tab, "chkHead", QStringLiteral("Controle Account"));
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
        b = qv::named<QPushButton>(tab, name, text);
        b->setAutoDefault(false);
        buttons->addWidget(b);
    };
    button(cmdCreateAc, "cmdCreateAc", QStringLiteral("&New"));
    button(Command3, "Command3", QStringLiteral("&Delete"));
    button(cmdCancel, "cmdCancel", QStringLiteral("&Cancel"));
    button(cmdPrint, "cmdPrint", QStringLiteral("&Print"));
    QPushButton* cmdClasses = nullptr; // the control accounts' classes, under this window's right
    button(cmdClasses, "cmdClasses", QStringLiteral("C&lasses"));
    button(cmdExit, "cmdExit", QStringLiteral("E&xit"));
    right->addLayout(buttons);

    mnuPop = qv::named<QMenu>(this, "mnuPop");
    mnuEdit = mnuPop->addAction(QStringLiteral("Edit"));
    mnuEdit->setObjectName(QStringLiteral("mnuEdit"));

    connect(lstTree, &qv::AccountTree::mouseDown, this,
            [this](Qt::MouseButton b) { RightButtonDown = b == Qt::RightButton; });
    connect(lstTree, &qv::AccountTree::nodeClick, this, &frmAccount::lstTree_NodeClick);
    connect(lstTree, &qv::AccountTree::nodeShown, this, &frmAccount::lstTree_NodeShown);
    connect(lstTree, &qv::AccountTree::popupKey, this, [this](QTreeWidgetItem* item) {
        RightButtonDown = true; // the keyboard's way to the right-button popup
        lstTree_NodeClick(item);
    });
    connect(lstTree, &qv::AccountTree::nodeToggled, this, &frmAccount::lstTree_Toggled);
    connect(mnuEdit, &QAction::triggered, this, &frmAccount::mnuEdit_Click);
    connect(cmdCreateAc, &QPushButton::clicked, this, &frmAccount::cmdCreateAc_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmAccount::cmdCancel_Click);
    connect(Command3, &QPushButton::clicked, this, &frmAccount::Command3_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmAccount::cmdExit_Click);
    connect(cmdPrint, &QPushButton::clicked, this, [] { PrintChartOfAccounts(); });
    connect(cmdClasses, &QPushButton::clicked, this, [] { qv::Windows::open(QStringLiteral("frmAcClasses")); });
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
    qv::enterActsAsDoubleClick(mshSearch);
    lay->addWidget(mshSearch, 1);
    connect(txtFindAC, &QLineEdit::textChanged, this, [this] { qv::guarded([this] { FillGrid(); }); });
    connect(mshSearch, &QTableView::doubleClicked, this, [this](const QModelIndex& i) { mshSearch_DblClick(i.row()); });
}

// ---- view state ----------------------------------------------------------------------------

void frmAccount::setSelected(qint64 rowId)
{
    m_selectedId = rowId;
    // The documented box still shows the selection's RowID.
    txtFindParent->setText(rowId > 0 ? QString::number(rowId) : QString());
}

void frmAccount::setMode(Mode m)
{
    m_mode = m;
    cmdCreateAc->setText(m == Mode::Browse ? QStringLiteral("&New") : QStringLiteral("&Save"));
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

QLineEdit* frmAccount::titleBox(TitleBox b) const
{
    switch (b) {
    case TitleBox::Control:
        return txtAcDes;
    case TitleBox::SubControl:
        return txtSubControl;
    case TitleBox::Subsidiary:
        return txtSubsidiary;
    case TitleBox::None:
        break;
    }
    return nullptr;
}

// ---- search -------------------------------------------------------------------------------

void frmAccount::FillGrid()
{
    qv::fillSearchGrid(mshSearch, m_list.find(txtFindAC->text(), qv::AccountList::Scope::Chart));
    setGrid();
    qv::scrollHome(mshSearch);
}

void frmAccount::setGrid()
{
    qv::formatSearchGrid(mshSearch);
}

void frmAccount::mshSearch_DblClick(int row)
{
    const qv::ListedAccount* line = qv::searchModel(mshSearch)->line(row);
    if (!line || line->rowId == 0 || !mayDropUnsavedWork())
        return;
    EditAC(line->rowId);
    SSTab->setCurrentIndex(0);
}
