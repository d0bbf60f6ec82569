#include "reports/frmrptparty.h"

#include "masters/finderpick.h"
#include "reports/parties.h"
#include "reports/partyreport.h"
#include "shell/mdl_connection.h"
#include "viewer/frmveiwer.h"
#include "widgets/accountbox.h"
#include "widgets/datebox.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"
#include "widgets/named.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

frmRPTParty::frmRPTParty(QWidget* parent)
    : MdiChild(parent)
{
    setObjectName(QStringLiteral("frmRPTParty"));
    setWindowTitle(QStringLiteral("Party Statements"));
    auto* lay = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    cboHead = qv::named<QComboBox>(this, "cboHead");
    qv::guarded([this] {
        for (const qv::rpt::PartyHead& h : qv::rpt::partyHeads(Conn))
            cboHead->addItem(QStringLiteral("%1  %2").arg(h.account.nodes, h.account.name), h.account.id);
    });
    form->addRow(QStringLiteral("Head :"), cboHead);
    auto* one = new QHBoxLayout;
    txtAcName = qv::named<qv::AccountBox>(this, "txtAcName");
    cmdFindAC = qv::named<QPushButton>(this, "cmdFindAC", QStringLiteral("Find A/C"));
    cmdClearAC = qv::named<QPushButton>(this, "cmdClearAC", QStringLiteral("Clear"));
    one->addWidget(txtAcName, 1);
    one->addWidget(cmdFindAC);
    one->addWidget(cmdClearAC);
    form->addRow(QStringLiteral("Or one account :"), one);
    const QDate today = QDate::currentDate();
    DTPickerFrom = qv::named<qv::DateBox>(this, "DTPickerFrom", QDate(today.year(), 1, 1));
    DTPickerTo = qv::named<qv::DateBox>(this, "DTPickerTo", today);
    form->addRow(QStringLiteral("From :"), DTPickerFrom);
    form->addRow(QStringLiteral("To / As at :"), DTPickerTo);
    lay->addLayout(form);
    lay->addWidget(new QLabel(QStringLiteral("A head gives one statement a page for every account under it; the "
                                             "ageing is as at the last date."),
                              this));
    auto* buttons = new QHBoxLayout;
    cmdPartyStatement = qv::named<QPushButton>(this, "cmdPartyStatement", QStringLiteral("Party &Statement"));
    cmdAgeing = qv::named<QPushButton>(this, "cmdAgeing", QStringLiteral("&Ageing"));
    buttons->addStretch(1);
    buttons->addWidget(cmdPartyStatement);
    buttons->addWidget(cmdAgeing);
    lay->addLayout(buttons);
    lay->addStretch(1);
    connect(cmdFindAC, &QPushButton::clicked, this, [] { qv::showFinder(false); });
    connect(cmdClearAC, &QPushButton::clicked, txtAcName, &qv::AccountBox::clearAccount);
    connect(cmdPartyStatement, &QPushButton::clicked, this, &frmRPTParty::runStatement);
    connect(cmdAgeing, &QPushButton::clicked, this, &frmRPTParty::runAgeing);
}

void frmRPTParty::onActivated()
{
    if (qv::takeFinderPick(txtAcName))
        cmdPartyStatement->setFocus();
}

qint64 frmRPTParty::chosen()
{
    if (txtAcName->hasAccount())
        return txtAcName->accountId();
    if (cboHead->currentIndex() >= 0)
        return cboHead->currentData().toLongLong();
    qv::Msg::info(QStringLiteral("please select Account"));
    cmdFindAC->setFocus();
    return 0;
}

void frmRPTParty::runStatement()
{
    const qint64 account = chosen();
    if (account <= 0)
        return;
    if (DTPickerFrom->date() > DTPickerTo->date()) {
        qv::Msg::info(QStringLiteral("The first date of the range is after the last."));
        DTPickerFrom->setFocus();
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    qv::guarded([&] {
        m_report = qv::rpt::openPartyStatement(TheBook, account, DTPickerFrom->date(), DTPickerTo->date());
        frmVeiwer::ShowReport(m_report);
    });
    QApplication::restoreOverrideCursor();
}

void frmRPTParty::runAgeing()
{
    const qint64 account = chosen();
    if (account <= 0)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    qv::guarded([&] {
        m_report = qv::rpt::openAgeing(TheBook, account, DTPickerTo->date());
        frmVeiwer::ShowReport(m_report);
    });
    QApplication::restoreOverrideCursor();
}
