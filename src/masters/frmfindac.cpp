#include "masters/frmfindac.h"

#include "masters/finderstore.h"
#include "shell/handover.h"
#include "shell/windows.h"
#include "shell/mdl_connection.h"
#include "widgets/bound.h"
#include "widgets/guarded.h"
#include "widgets/keyrules.h"
#include "widgets/msgbox.h"

#include <QCheckBox>
#include <algorithm>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
struct Column {
    const char* header;
    int widthTwips; // 0: hidden
};
// Hidden columns carry their field names as headers.
constexpr Column GridColumns[] = {
    {"RowID", 0}, {"Code", 1200}, {"Account Title", 5000}, {"Opening Balance", 1500}, {"Contact", 2000}, {"Fax", 0},
    {"Addr", 0},  {"Addr2", 0}};
constexpr int ColumnCount = int(sizeof(GridColumns) / sizeof(GridColumns[0]));
} // namespace

frmFindAC::frmFindAC(QWidget* parent)
    : qv::MdiChild(parent)
{
    setObjectName(QStringLiteral("frmFindAC"));
    setWindowTitle(QStringLiteral("Search Account"));
    // The finder hands back to its caller; it leaves the menus and the home panel alone.
    m_applyMenusOnClose = false;

    chkAll = new QCheckBox(QStringLiteral("All Accounts"), this);
    chkAll->setObjectName(QStringLiteral("chkAll"));
    auto* label = new QLabel(QStringLiteral("Search Subsidiary Accounts:"), this);
    txtFindAC = new QLineEdit(this);
    txtFindAC->setObjectName(QStringLiteral("txtFindAC"));
    label->setBuddy(txtFindAC);
    mshSearch = new QTableWidget(this);
    mshSearch->setObjectName(QStringLiteral("mshSearch"));
    mshSearch->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mshSearch->setSelectionBehavior(QAbstractItemView::SelectRows);
    mshSearch->setSelectionMode(QAbstractItemView::SingleSelection);
    mshSearch->verticalHeader()->setDefaultSectionSize(20);
    mshSearch->verticalHeader()->setVisible(false);
    cmdAccounts = new QPushButton(QStringLiteral("&Add Accounts"), this);
    cmdAccounts->setObjectName(QStringLiteral("cmdAccounts"));
    cmdExit = new QPushButton(QStringLiteral("Exit"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));

    auto* top = new QHBoxLayout;
    top->addWidget(label);
    top->addWidget(txtFindAC, 1);
    top->addWidget(chkAll);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdAccounts);
    buttons->addWidget(cmdExit);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(top);
    lay->addWidget(mshSearch, 1);
    lay->addLayout(buttons);

    txtFindAC->installEventFilter(this);
    mshSearch->installEventFilter(this);
    connect(txtFindAC, &QLineEdit::textChanged, this, [this] { FillGrid(); });
    connect(chkAll, &QCheckBox::clicked, this, [this] { allAccountsClicked(); });
    connect(mshSearch, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { pick(row); });
    connect(cmdAccounts, &QPushButton::clicked, this, [this] { addAccounts(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { backToCaller(); });

    FillGrid();
}

QSize frmFindAC::sizeHint() const
{
    return {qv::twips(10600), qv::twips(6000)};
}

void frmFindAC::onActivated()
{
    FillGrid();
}

void frmFindAC::FillGrid()
{
    QList<qv::FinderRow> rows;
    qv::guarded([&] { rows = qv::FinderStore(Conn).search(FindACType, txtFindAC->text()); });
    mshSearch->setUpdatesEnabled(false);
    mshSearch->clearContents();
    // An empty list keeps one blank row, which hands nothing back.
    mshSearch->setRowCount(rows.isEmpty() ? 1 : int(rows.size()));
    mshSearch->setColumnCount(ColumnCount);
    for (int r = 0; r < rows.size(); ++r) {
        const qv::FinderRow& a = rows[r];
        const QString cells[ColumnCount] = {QString::number(a.rowId),
                                            a.acNodes,
                                            a.acName,
                                            a.openBal ? qv::displayAmount(*a.openBal) : QString(),
                                            a.contact,
                                            a.fax,
                                            a.addr,
                                            a.addr2};
        for (int c = 0; c < ColumnCount; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == 3)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            mshSearch->setItem(r, c, item);
        }
    }
    setGrid();
    qv::scrollHome(mshSearch);
    mshSearch->setUpdatesEnabled(true);
}

void frmFindAC::setGrid()
{
    mshSearch->setColumnCount(ColumnCount);
    for (int c = 0; c < ColumnCount; ++c) {
        const Column& col = GridColumns[c];
        mshSearch->setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromLatin1(col.header)));
        mshSearch->setColumnHidden(c, col.widthTwips == 0);
        // Never narrower than its header, so that every caption reads whole.
        if (col.widthTwips > 0)
            mshSearch->setColumnWidth(
                c, std::max(qv::twips(col.widthTwips), mshSearch->horizontalHeader()->sectionSizeHint(c)));
    }
}

void frmFindAC::pick(int row)
{
    if (row < 0)
        return;
    const QTableWidgetItem* id = mshSearch->item(row, 0);
    if (!id || id->text().isEmpty())
        return;
    const QTableWidgetItem* name = mshSearch->item(row, 2);
    FindACRowID = id->text();
    FindACName = name ? name->text() : QString();
    backToCaller();
}

void frmFindAC::backToCaller()
{
    // The caller is made active before the finder goes: the frame would otherwise activate the
    // next window of its own choosing (the chart, say), and that window would take the pick.
    if (m_caller && m_caller->mdiArea() && !m_caller->isHidden())
        m_caller->mdiArea()->setActiveSubWindow(m_caller);
    unload();
}

void frmFindAC::allAccountsClicked()
{
    // Unticking narrows to bank accounts, whatever the caller asked for.
    FindACType = chkAll->isChecked() ? QString() : QStringLiteral("B");
    FillGrid();
}

void frmFindAC::addAccounts()
{
    OpenAccountsAfterLock = true;
    OpenedForCaller = true;
    qv::Windows::open(QStringLiteral("frmLocPass"));
}

void frmFindAC::closeEvent(QCloseEvent* e)
{
    qv::MdiChild::closeEvent(e);
    if (!e->isAccepted())
        return;
    OpenAccountsAfterLock = false;
    OpenedForCaller = false;
    chkAll->setChecked(false);
}

bool frmFindAC::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // Enter when the search has narrowed the list to one account picks it.
        if (watched == txtFindAC && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            const QTableWidgetItem* only = mshSearch->rowCount() == 1 ? mshSearch->item(0, 0) : nullptr;
            if (only && !only->text().isEmpty())
                pick(0);
            return true;
        }
        if (watched == txtFindAC && (key == Qt::Key_Down || key == Qt::Key_Up)) {
            mshSearch->setFocus();
            if (mshSearch->currentRow() < 0 && mshSearch->rowCount() > 0)
                mshSearch->setCurrentCell(0, 2);
            return true;
        }
        if (watched == mshSearch && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            pick(mshSearch->currentRow());
            return true;
        }
    }
    return qv::MdiChild::eventFilter(watched, event);
}
