#include "masters/frmfindac.h"

#include "masters/accountlist.h"
#include "masters/searchmodel.h"
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
#include <QTableView>
#include <QVBoxLayout>

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
    mshSearch = new QTableView(this);
    mshSearch->setObjectName(QStringLiteral("mshSearch"));
    m_model = new qv::FinderModel(mshSearch);
    mshSearch->setModel(m_model);
    m_list = std::make_unique<qv::AccountList>(Conn);
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
    connect(mshSearch, &QTableView::doubleClicked, this, [this](const QModelIndex& i) { pick(i.row()); });
    connect(cmdAccounts, &QPushButton::clicked, this, [this] { addAccounts(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { backToCaller(); });

    FillGrid();
}

frmFindAC::~frmFindAC() = default;

QSize frmFindAC::sizeHint() const
{
    return {qv::twips(10600), qv::twips(6000)};
}

void frmFindAC::setCaller(QMdiSubWindow* caller)
{
    m_caller = caller;
}

void frmFindAC::onActivated()
{
    FillGrid();
}

void frmFindAC::FillGrid()
{
    qv::AccountMatches rows;
    qv::guarded([&] {
        rows = m_list->find(txtFindAC->text(), FindACType == QLatin1String("B") ? qv::AccountList::Scope::FinderBanks
                                                                                : qv::AccountList::Scope::Finder);
    });
    m_model->setRows(std::move(rows));
    setGrid();
    qv::scrollHome(mshSearch);
}

void frmFindAC::setGrid()
{
    for (int c = 0; c < qv::FinderModel::Columns; ++c) {
        const int twips = qv::FinderModel::widthTwips(c);
        mshSearch->setColumnHidden(c, twips == 0);
        // Never narrower than its header, so that every caption reads whole.
        if (twips > 0)
            mshSearch->setColumnWidth(c, std::max(qv::twips(twips), mshSearch->horizontalHeader()->sectionSizeHint(c)));
    }
}

void frmFindAC::pick(int row)
{
    const qv::ListedAccount* a = m_model->line(row);
    if (!a)
        return;
    FindACRowID = QString::number(a->rowId);
    FindACName = a->acName;
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
            if (m_model->rowCount() == 1)
                pick(0);
            return true;
        }
        if (watched == txtFindAC && (key == Qt::Key_Down || key == Qt::Key_Up)) {
            mshSearch->setFocus();
            if (!mshSearch->currentIndex().isValid() && m_model->rowCount() > 0)
                mshSearch->setCurrentIndex(m_model->index(0, 2));
            return true;
        }
        if (watched == mshSearch && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            pick(mshSearch->currentIndex().row());
            return true;
        }
    }
    return qv::MdiChild::eventFilter(watched, event);
}
