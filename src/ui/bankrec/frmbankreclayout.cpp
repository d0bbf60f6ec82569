// The reconciliation window's controls and their places.
#include "bankrec/frmbankrec.h"

#include "widgets/accountbox.h"
#include "widgets/amountbox.h"
#include "widgets/datebox.h"
#include "widgets/keys.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
template <class W> W* named(W* w, const char* name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}
} // namespace

void frmBankRec::buildLayout()
{
    txtBank = named(new qv::AccountBox(this), "txtBank");
    cmdFindBank = named(new QPushButton(QStringLiteral("Find &Bank"), this), "cmdFindBank");
    dtpStatement = named(new qv::DateBox(this), "dtpStatement");
    txtStatementBal = named(new QLineEdit(this), "txtStatementBal");
    qv::amountBox(txtStatementBal, 24, true);
    cmdShow = named(new QPushButton(QStringLiteral("&Show Lines"), this), "cmdShow");
    lblLast = named(new QLabel(this), "lblLast");
    txtCheque = named(new QLineEdit(this), "txtCheque");
    txtCheque->setPlaceholderText(QStringLiteral("type a cheque number; Enter ticks its line"));
    grdLines = named(new QTableWidget(0, 8, this), "grdLines");
    grdLines->setHorizontalHeaderLabels(
        {QStringLiteral("Cleared"), QStringLiteral("Cleared on"), QStringLiteral("Date"), QStringLiteral("Voucher"),
         QStringLiteral("Party"), QStringLiteral("Cheque"), QStringLiteral("Receipt"), QStringLiteral("Payment")});
    grdLines->horizontalHeader()->setSectionResizeMode(4, QHeaderView::Stretch);
    // A busy account lists thousands of lines: columns are sized on the first hundred.
    grdLines->horizontalHeader()->setResizeContentsPrecision(100);
    grdLines->verticalHeader()->hide();
    grdLines->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdLines->setSelectionMode(QAbstractItemView::SingleSelection);
    grdLines->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    grdLines->setMinimumHeight(260);
    lblBook = named(new QLabel(this), "lblBook");
    lblCleared = named(new QLabel(this), "lblCleared");
    lblStatement = named(new QLabel(this), "lblStatement");
    lblDifference = named(new QLabel(this), "lblDifference");
    cmdFinish = named(new QPushButton(QStringLiteral("&Finish"), this), "cmdFinish");
    cmdPostpone = named(new QPushButton(QStringLiteral("&Postpone"), this), "cmdPostpone");
    cmdUndo = named(new QPushButton(QStringLiteral("&Undo Last"), this), "cmdUndo");
    cmdPrint = named(new QPushButton(QStringLiteral("S&tatement"), this), "cmdPrint");
    cmdImport = named(new QPushButton(QStringLiteral("&Import Statement..."), this), "cmdImport");
    cmdExit = named(new QPushButton(QStringLiteral("E&xit"), this), "cmdExit");
    // Enter presses a focused button.
    for (QPushButton* b : {cmdFindBank, cmdShow, cmdFinish, cmdPostpone, cmdUndo, cmdPrint, cmdImport, cmdExit})
        b->setAutoDefault(true);
    // Typing moves on with Enter, as in every entry window.
    for (QWidget* w : {static_cast<QWidget*>(dtpStatement), static_cast<QWidget*>(txtStatementBal)})
        qv::enterAsTab(w);

    auto* head = new QGridLayout;
    auto label = [this](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    head->addWidget(label(QStringLiteral("Bank Account :"), cmdFindBank), 0, 0);
    head->addWidget(txtBank, 0, 1, 1, 3);
    head->addWidget(cmdFindBank, 0, 4);
    head->addWidget(label(QStringLiteral("Statement &Date :"), dtpStatement), 1, 0);
    head->addWidget(dtpStatement, 1, 1);
    head->addWidget(label(QStringLiteral("Closing &Balance :"), txtStatementBal), 1, 2);
    head->addWidget(txtStatementBal, 1, 3);
    head->addWidget(cmdShow, 1, 4);
    head->addWidget(lblLast, 2, 0, 1, 5);
    head->addWidget(label(QStringLiteral("&Cheque No. :"), txtCheque), 3, 0);
    head->addWidget(txtCheque, 3, 1, 1, 2);
    head->setColumnStretch(3, 1);

    auto* figures = new QGridLayout;
    const QList<QPair<QString, QLabel*>> rows = {{QStringLiteral("Book balance :"), lblBook},
                                                 {QStringLiteral("Cleared balance :"), lblCleared},
                                                 {QStringLiteral("Statement balance :"), lblStatement},
                                                 {QStringLiteral("Difference :"), lblDifference}};
    for (int i = 0; i < rows.size(); ++i) {
        figures->addWidget(new QLabel(rows[i].first, this), 0, 2 * i);
        rows[i].second->setMinimumWidth(110);
        rows[i].second->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        figures->addWidget(rows[i].second, 0, 2 * i + 1);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdUndo);
    buttons->addWidget(cmdPrint);
    buttons->addWidget(cmdImport);
    buttons->addStretch(1);
    buttons->addWidget(cmdPostpone);
    buttons->addWidget(cmdFinish);
    buttons->addWidget(cmdExit);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(head);
    lay->addWidget(grdLines, 1);
    lay->addLayout(figures);
    lay->addLayout(buttons);
    setMinimumSize(860, 520);
}
