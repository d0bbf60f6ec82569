// The controls of the voucher window, their keys and their keyboard order; what they do is in
// frmvoucher.cpp.
#include "shell/mdl_connection.h"
#include "vouchers/frmhistory.h"
#include "vouchers/frmvoucher.h"
#include "widgets/accountbox.h"
#include "widgets/amountbox.h"
#include "widgets/bound.h"
#include "widgets/datebox.h"
#include "widgets/keys.h"
#include "widgets/named.h"

#include <QBoxLayout>
#include <QDateEdit>
#include <QFrame>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

namespace {
QLabel* caption(QWidget* parent, const char* name, const QString& text)
{
    auto* l = qv::named<QLabel>(parent, name, text);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text)
{
    auto* b = qv::named<QPushButton>(parent, name, text);
    b->setAutoDefault(false);
    return b;
}

qv::AccountBox* accountBox(QWidget* parent, const char* name)
{
    auto* e = qv::named<qv::AccountBox>(parent, name);
    e->setReadOnly(true);
    e->setStyleSheet(QStringLiteral("QLineEdit{background:#f4f1e6}"));
    return e;
}
} // namespace

frmVoucher::frmVoucher(qv::VoucherKind kind, QWidget* parent)
    : qv::MdiChild(parent)
    , m_kind(qv::voucherKind(kind))
    , m_store(Conn)
{
    setObjectName(m_kind.window);
    setWindowTitle(m_kind.caption);
    auto* outer = new QVBoxLayout(this);
    lblfrmTitle = qv::named<QLabel>(this, "lblfrmTitle", m_kind.caption);
    lblfrmTitle->setAlignment(Qt::AlignCenter);
    lblfrmTitle->setFont(QFont(QStringLiteral("DejaVu Serif"), 16, QFont::Bold));
    lblfrmTitle->setStyleSheet(QStringLiteral("color:#1f4e79"));
    outer->addWidget(lblfrmTitle);
    SSTab = qv::named<QTabWidget>(this, "SSTab");
    outer->addWidget(SSTab, 1);
    auto* entry = new QWidget(SSTab);
    searchTab = new QWidget(SSTab);
    SSTab->addTab(entry, QStringLiteral("Voucher Entry "));
    SSTab->addTab(searchTab, QStringLiteral("Search Voucher"));
    buildEntryTab(entry);
    buildTabOrder();
    connectEntry();
    load();
}

void frmVoucher::buildEntryTab(QWidget* tab)
{
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);

    // Voucher number, date and party.
    grid->addWidget(caption(tab, "Label1", QStringLiteral("Voucher #:")), 0, 0);
    auto* numberRow = new QHBoxLayout;
    txtVouStatus = qv::named<QLineEdit>(tab, "txtVouStatus", m_kind.prefix);
    txtVouStatus->setReadOnly(true);
    txtVouStatus->setFixedWidth(40);
    txtVoucher = qv::named<QLineEdit>(tab, "txtVoucher");
    txtVoucher->setReadOnly(true);
    txtVoucher->setFixedWidth(110);
    numberRow->setSpacing(0);
    numberRow->addWidget(txtVouStatus);
    numberRow->addWidget(txtVoucher);
    numberRow->addStretch(1);
    grid->addLayout(numberRow, 0, 1);
    grid->addWidget(caption(tab, "Label2", QStringLiteral("Date:")), 0, 2);
    DTPicker = qv::named<qv::DateBox>(tab, "DTPicker", QDate::currentDate());
    grid->addWidget(DTPicker, 0, 3, Qt::AlignLeft);
    lblPaidTo = caption(tab, "lblPaidTo", m_kind.partyLabel);
    grid->addWidget(lblPaidTo, 1, 0);
    txtPaidTo = qv::named<QLineEdit>(tab, "txtPaidTo");
    grid->addWidget(txtPaidTo, 1, 1, 1, 3);

    // The line being entered.
    txtDrAc = accountBox(tab, "txtDrAc");
    cmdSelectDr = button(tab, "cmdSelectDr", QStringLiteral("&Select Debit A/C"));
    txtCrAc = accountBox(tab, "txtCrAc");
    cmdSelectCr = button(tab, "cmdSelectCr", QStringLiteral("&Select Credit A/C"));
    grid->addWidget(cmdSelectDr, 2, 0);
    grid->addWidget(txtDrAc, 2, 1);
    grid->addWidget(cmdSelectCr, 2, 2);
    grid->addWidget(txtCrAc, 2, 3);
    grid->addWidget(caption(tab, "Label3", QStringLiteral("Checque No. :")), 3, 0);
    txtChecque = qv::named<QLineEdit>(tab, "txtChecque");
    grid->addWidget(txtChecque, 3, 1);
    grid->addWidget(caption(tab, "Label4", QStringLiteral("Amount:")), 3, 2);
    txtDRCR = qv::named<QLineEdit>(tab, "txtDRCR");
    txtDRCR->setAlignment(Qt::AlignRight);
    grid->addWidget(txtDRCR, 3, 3);
    grid->addWidget(caption(tab, "Label5", QStringLiteral("Naration:")), 4, 0, Qt::AlignRight | Qt::AlignTop);
    txtNaration = qv::named<QPlainTextEdit>(tab, "txtNaration");
    txtNaration->setTabChangesFocus(true);
    txtNaration->setFixedHeight(54);
    grid->addWidget(txtNaration, 4, 1, 2, 1);
    grid->addWidget(caption(tab, "Label6", QStringLiteral("File No :")), 4, 2);
    txtFile = qv::named<QLineEdit>(tab, "txtFile");
    txtFile->setMaxLength(10);
    grid->addWidget(txtFile, 4, 3, Qt::AlignLeft);
    grid->addWidget(caption(tab, "Label7", QStringLiteral("Bill No :")), 5, 2);
    txtBill = qv::named<QLineEdit>(tab, "txtBill");
    txtBill->setMaxLength(10);
    grid->addWidget(txtBill, 5, 3, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    txtFile->setFixedWidth(140);
    txtBill->setFixedWidth(140);

    auto* lineButtons = new QHBoxLayout;
    cmdAdd = button(tab, "cmdAdd", QStringLiteral("&Add"));
    acmRemove = button(tab, "acmRemove", QStringLiteral("&Remove"));
    lineButtons->addStretch(1);
    lineButtons->addWidget(cmdAdd);
    lineButtons->addWidget(acmRemove);

    MshEntry = qv::named<QTableWidget>(tab, "MshEntry");
    MshEntry->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MshEntry->setSelectionBehavior(QAbstractItemView::SelectRows);
    MshEntry->setSelectionMode(QAbstractItemView::SingleSelection);
    MshEntry->verticalHeader()->setDefaultSectionSize(22);
    MshEntry->verticalHeader()->hide();
    MshEntry->setAlternatingRowColors(true);

    auto* totals = new QHBoxLayout;
    lblTotalAmount = qv::named<QLabel>(tab, "lblTotalAmount");
    lblTotalAmount->setFont(QFont(QStringLiteral("DejaVu Sans"), 11, QFont::Bold));
    txtTotAmount = qv::named<QLineEdit>(tab, "txtTotAmount");
    txtTotAmount->hide();
    txtGrdRow = qv::named<QLineEdit>(tab, "txtGrdRow");
    txtGrdRow->hide();
    totals->addStretch(1);
    totals->addWidget(lblTotalAmount);

    auto* commands = new QHBoxLayout;
    cmdSave = button(tab, "cmdSave", QStringLiteral("&Save"));
    cmdCancel = button(tab, "cmdCancel", QStringLiteral("&Cancel"));
    cmdDelete = button(tab, "cmdDelete", QStringLiteral("&Delete"));
    cmdDelete->setEnabled(false);
    cmdPrint = button(tab, "cmdPrint", QStringLiteral("&Print"));
    cmdExit = button(tab, "cmdExit", QStringLiteral("E&xit"));
    cmdHistory = button(tab, "cmdHistory", QStringLiteral("&History"));
    commands->addWidget(cmdHistory);
    commands->addStretch(1);
    for (QPushButton* b : {cmdSave, cmdCancel, cmdDelete, cmdPrint, cmdExit}) {
        b->setMinimumWidth(90);
        commands->addWidget(b);
    }

    auto* lay = new QVBoxLayout(tab);
    lay->addLayout(grid);
    lay->addLayout(lineButtons);
    lay->addWidget(MshEntry, 1);
    lay->addLayout(totals);
    lay->addLayout(commands);
}

void frmVoucher::buildTabOrder()
{
    QList<QWidget*> order;
    if (m_kind.entry.cashPaymentOrder)
        order = {txtVoucher, txtChecque, cmdSelectDr, cmdSelectCr, txtDRCR,   txtNaration, cmdAdd,  acmRemove, cmdSave,
                 cmdCancel,  cmdDelete,  cmdPrint,    cmdExit,     txtPaidTo, txtFile,     txtBill, MshEntry};
    else
        order = {DTPicker, txtChecque, cmdSelectDr, cmdSelectCr, txtDRCR, txtNaration, cmdAdd,  acmRemove,  txtPaidTo,
                 cmdSave,  cmdCancel,  cmdDelete,   cmdPrint,    cmdExit, txtFile,     txtBill, txtVoucher, MshEntry};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    txtVouStatus->setFocusPolicy(m_kind.entry.cashPaymentOrder ? Qt::StrongFocus : Qt::ClickFocus);
}

void frmVoucher::connectEntry()
{
    // Amounts: digits, one decimal point and thousands commas, at most 14; a blank is ignored.
    qv::amountBox(txtDRCR, 14, false);
    qv::charFilter(txtFile, QStringLiteral("[0-9]"));
    qv::charFilter(txtBill, QStringLiteral("[0-9]"));
    for (QWidget* w : std::initializer_list<QWidget*>{txtDRCR, txtFile, txtBill, txtChecque, txtPaidTo, DTPicker})
        qv::enterAsTab(w);
    txtVoucher->installEventFilter(this);
    txtVouStatus->installEventFilter(this);
    connect(txtNaration, &QPlainTextEdit::textChanged, this, [this] {
        // The column's width is the box's limit.
        if (m_narrationWidth > 0 && txtNaration->toPlainText().size() > m_narrationWidth) {
            QString t = txtNaration->toPlainText().left(m_narrationWidth);
            txtNaration->setPlainText(t);
            txtNaration->moveCursor(QTextCursor::End);
        }
    });
    connect(cmdSelectDr, &QPushButton::clicked, this, [this] { selectAccount(qv::Side::Debit); });
    connect(cmdSelectCr, &QPushButton::clicked, this, [this] { selectAccount(qv::Side::Credit); });
    connect(cmdAdd, &QPushButton::clicked, this, &frmVoucher::cmdAdd_Click);
    connect(acmRemove, &QPushButton::clicked, this, &frmVoucher::acmRemove_Click);
    connect(MshEntry, &QTableWidget::cellDoubleClicked, this, [this] { MshEntry_DblClick(); });
    connect(cmdSave, &QPushButton::clicked, this, &frmVoucher::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmVoucher::cmdCancel_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmVoucher::cmdDelete_Click);
    connect(cmdHistory, &QPushButton::clicked, this, [this] {
        bool ok = false;
        const qint64 number = txtVoucher->text().trimmed().toLongLong(&ok);
        if (ok)
            frmHistory::showFor(m_kind.code, number, this);
    });
    connect(cmdExit, &QPushButton::clicked, this, [this] { unload(); });
}

bool frmVoucher::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn && watched == txtVouStatus && !m_kind.entry.cashPaymentOrder) {
        DTPicker->setFocus();
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return qv::MdiChild::eventFilter(watched, event);
    auto* k = static_cast<QKeyEvent*>(event);
    const bool enter = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
    if (watched == txtVoucher && enter) {
        focusNextChild();
        if (mayDropUnsavedWork())
            OpenVoucher();
        return true;
    }
    return qv::MdiChild::eventFilter(watched, event);
}

void frmVoucher::setGrid()
{
    QStringList headers;
    QList<int> widths;
    if (m_kind.shape == qv::RowShape::Mirrored) {
        headers = {QString(),
                   QStringLiteral("Account Debit:"),
                   QStringLiteral("Account Credit:"),
                   QStringLiteral("Amount:"),
                   QStringLiteral("Checque No. :"),
                   QStringLiteral("Naration:"),
                   QStringLiteral("CrAcCode:"),
                   QStringLiteral("File No:"),
                   QStringLiteral("Bill No:")};
        widths = {0, 4000, 4000, 1900, 1900, 4000, 0, 1200, 1200};
    } else {
        const bool debit = m_kind.lineBoxes() == qv::DrBox;
        headers = {QString(),
                   QStringLiteral("Account Title:"),
                   debit ? QStringLiteral("Debit:") : QStringLiteral("Credit:"),
                   QStringLiteral("Checque No. :"),
                   QStringLiteral("Naration:"),
                   QStringLiteral("File No:"),
                   QStringLiteral("Bill No:")};
        widths = {0, 5000, 1900, 1900, 5000, 1200, 1200};
    }
    MshEntry->setColumnCount(int(headers.size()));
    MshEntry->setHorizontalHeaderLabels(headers);
    for (int c = 0; c < widths.size(); ++c) {
        MshEntry->setColumnHidden(c, widths[c] == 0);
        if (widths[c] > 0)
            MshEntry->setColumnWidth(c, qv::twips(widths[c]));
    }
}
