// The "Search Voucher" tab of the voucher window: the criterion, the search box or date, and the
// list (mshSearch) from which a voucher is opened for change. The matches are VoucherSearch's,
// found in memory (VoucherList) once the tab has been shown.
#include "shell/mdl_connection.h"
#include "vouchers/frmvoucher.h"
#include "vouchers/vouchersearchmodel.h"
#include "widgets/datebox.h"
#include "widgets/guarded.h"
#include "widgets/named.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QGuiApplication>
#include <QTimer>
#include <limits>

namespace {
const QString ByNumber = QStringLiteral("Voucher #");
const QString ByDate = QStringLiteral("Date");
const QString ByParty = QStringLiteral("Paid To");
// A keystroke reads the first page (more than a screenful); the rest follows in larger pages.
constexpr int FirstPage = 100;
constexpr int NextPage = 2000;

// Backspace in the date box refreshes the list, as a change of its date does.
class BackspaceRefresh : public QObject {
public:
    BackspaceRefresh(QObject* parent, std::function<void()> refresh)
        : QObject(parent)
        , m_refresh(std::move(refresh))
    {
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Backspace)
            m_refresh();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_refresh;
};
} // namespace

void frmVoucher::buildSearchTab(QWidget* tab)
{
    auto* grid = new QGridLayout(tab);
    auto* title = qv::named<QLabel>(tab, "lblCriteria", QStringLiteral("Select Searching Criteria"));
    title->setFont(QFont(QStringLiteral("DejaVu Sans"), 10, QFont::Bold));
    cboSearch = qv::named<QComboBox>(tab, "cboSearch");
    cboSearch->setEditable(true);
    cboSearch->addItems({ByNumber, ByDate, ByParty});
    cboSearch->setCurrentIndex(0);
    cboSearch->setMinimumWidth(160);
    lblSearch = qv::named<QLabel>(tab, "lblSearch", cboSearch->currentText());
    lblSearch->setMinimumWidth(90);
    txtSearch = qv::named<QLineEdit>(tab, "txtSearch");
    txtSearch->setMinimumWidth(260);
    DTPSearch = qv::named<qv::DateBox>(tab, "DTPSearch");
    DTPSearch->setVisible(false);
    mshSearch = qv::named<QTableView>(tab, "mshSearch");
    m_searchModel = new qv::VoucherSearchModel(mshSearch);
    mshSearch->setModel(m_searchModel);
    mshSearch->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mshSearch->setSelectionBehavior(QAbstractItemView::SelectRows);
    mshSearch->setSelectionMode(QAbstractItemView::SingleSelection);
    mshSearch->verticalHeader()->setDefaultSectionSize(22);
    mshSearch->verticalHeader()->setFixedWidth(14);
    for (int c = 0; c < qv::VoucherSearchModel::Columns; ++c)
        mshSearch->setColumnWidth(c, qv::VoucherSearchModel::widthTwips(c) / 15);

    grid->addWidget(title, 0, 0, 1, 3);
    grid->addWidget(cboSearch, 1, 0);
    grid->addWidget(lblSearch, 1, 1, Qt::AlignRight);
    grid->addWidget(txtSearch, 1, 2);
    grid->addWidget(DTPSearch, 1, 3);
    grid->setColumnStretch(4, 1);
    grid->addWidget(mshSearch, 2, 0, 1, 5);
    grid->setRowStretch(2, 1);

    connect(cboSearch, &QComboBox::currentTextChanged, this, &frmVoucher::cboSearch_Changed);
    connect(txtSearch, &QLineEdit::textChanged, this, [this] { SearchGrd(); });
    connect(DTPSearch, &QDateEdit::dateChanged, this, [this] { SearchGrd(); });
    connect(DTPSearch->calendarWidget(), &QCalendarWidget::clicked, this, [this] { SearchGrd(); });
    DTPSearch->installEventFilter(new BackspaceRefresh(DTPSearch, [this] { SearchGrd(); }));
    // A save's master row and every delete click refresh the list.
    connect(this, &frmVoucher::vouchersChanged, this, &frmVoucher::SearchGrd);
    // The kind's vouchers are read into memory when the user comes to search them, not when
    // the window opens; and compared with the book each time the tab comes up.
    m_vouchers = std::make_unique<qv::VoucherList>(Conn, m_kind.kind);
    connect(SSTab, &QTabWidget::currentChanged, this, [this](int tab) {
        if (SSTab->widget(tab) != searchTab)
            return;
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        qv::guarded([this] { m_vouchers->refreshOnShow(); });
        QGuiApplication::restoreOverrideCursor();
    });
    connect(mshSearch, &QTableView::doubleClicked, this, &frmVoucher::mshSearch_DblClick);
    connect(cmdPrint, &QPushButton::clicked, this, &frmVoucher::cmdPrint_Click);
}

// Choosing a criterion changes the caption and the date box; the list stays until the search
// text or the date changes.
void frmVoucher::cboSearch_Changed(const QString& text)
{
    lblSearch->setText(text);
    DTPSearch->setVisible(text == ByDate);
}

void frmVoucher::SearchGrd()
{
    const QString by = cboSearch->currentText();
    qv::VoucherCriterion c;
    if (by == ByNumber)
        c.by = qv::VoucherCriterion::By::Number;
    else if (by == ByDate)
        c.by = qv::VoucherCriterion::By::Date;
    else if (by == ByParty)
        c.by = qv::VoucherCriterion::By::Party;
    else
        return; // a typed criterion that is none of the three
    c.text = txtSearch->text();
    c.day = DTPSearch->date();
    const int round = ++m_searchRound;
    m_searchPending = false;
    std::vector<qv::FoundVoucher> rows;
    if (!qv::guarded([&] { rows = searchPage(c, std::numeric_limits<qint64>::min(), FirstPage); }))
        return;
    const bool more = rows.size() == size_t(FirstPage);
    m_searchModel->setRows(std::move(rows));
    if (more) {
        m_searchPending = true;
        QTimer::singleShot(0, this, [this, round, c] { readMoreVouchers(round, int(c.by), c.text, c.day); });
    }
}

// The next page of a long list, unless another search has started since.
void frmVoucher::readMoreVouchers(int round, int criterion, const QString& text, const QDate& day)
{
    if (round != m_searchRound)
        return;
    const qv::FoundVoucher* last = m_searchModel->line(m_searchModel->rowCount() - 1);
    std::vector<qv::FoundVoucher> rows;
    const qv::VoucherCriterion c{qv::VoucherCriterion::By(criterion), text, day};
    if (!last || !qv::guarded([&] { rows = searchPage(c, last->number, NextPage); })) {
        m_searchPending = false;
        return;
    }
    const bool more = rows.size() == size_t(NextPage);
    m_searchModel->appendRows(rows);
    if (more)
        QTimer::singleShot(0, this, [=, this] { readMoreVouchers(round, criterion, text, day); });
    else
        m_searchPending = false;
}

std::vector<qv::FoundVoucher> frmVoucher::searchPage(const qv::VoucherCriterion& c, qint64 after, int limit)
{
    if (m_vouchers->loaded())
        return m_vouchers->find(c, after, limit);
    return qv::VoucherSearch(Conn).find(m_kind.kind, c, after, limit);
}

void frmVoucher::mshSearch_DblClick(const QModelIndex& index)
{
    const qv::FoundVoucher* v = m_searchModel->line(index.row());
    if (!v)
        return; // an empty list, or one of its two empty rows
    openForChange(v->number);
}
