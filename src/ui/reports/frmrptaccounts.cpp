#include "reports/frmrptaccounts.h"

#include "masters/finderpick.h"
#include "viewer/frmveiwer.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "widgets/accountbox.h"
#include "widgets/bound.h"
#include "widgets/datebox.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"
#include "widgets/named.h"
#include "widgets/status.h"

#include <QApplication>
#include <QDateEdit>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

using qv::twips;
using qv::rpt::AccountsReport;

namespace {
// The busy cursor for as long as a report is being prepared and laid out.
struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};
} // namespace

frmRPTAccounts::frmRPTAccounts(QWidget* parent)
    : MdiChild(parent)
{
    setObjectName(QStringLiteral("frmRPTAccounts"));
    setWindowTitle(QStringLiteral("Accounts Report"));
    resize(twips(10000), twips(4725));

    // The report panels: one place for all, hidden until their menu entry shows them.
    const QIcon picture = style()->standardIcon(QStyle::SP_FileDialogDetailedView);
    for (const auto& info : qv::rpt::accountsReports()) {
        auto* f = qv::named<QFrame>(this, info.panel);
        f->setProperty("tag", QStringLiteral("R"));
        f->setProperty("caption", QString::fromLatin1(info.caption));
        f->setFrameShape(QFrame::StyledPanel);
        f->setAutoFillBackground(true);
        f->setGeometry(0, 0, twips(8340), twips(2040));
        auto* label = qv::named<QLabel>(f, "lblReport", QString::fromLatin1(info.label));
        QFont big = label->font();
        big.setPointSize(14);
        big.setBold(true);
        label->setFont(big);
        label->setGeometry(twips(300), twips(700), twips(6200), twips(600));
        auto* button = qv::named<QToolButton>(f, info.button);
        button->setIcon(picture);
        button->setIconSize(QSize(40, 40));
        button->setToolTip(QString::fromLatin1(info.label));
        button->setAccessibleName(QString::fromLatin1(info.label));
        button->setGeometry(twips(6900), twips(450), twips(1050), twips(1050));
        const AccountsReport r = info.report;
        connect(button, &QToolButton::clicked, this, [this, r] { runReport(r); });
        f->hide();
        m_panels.insert(int(r), f);
    }

    Frame1 = qv::named<QFrame>(this, "Frame1");
    Frame1->setFrameShape(QFrame::StyledPanel);
    Frame1->setGeometry(twips(1080), twips(2640), twips(8340), twips(1455));
    auto* lblAc = new QLabel(QStringLiteral("Head Of Account :"), Frame1);
    lblAc->setGeometry(twips(120), twips(180), twips(1500), twips(330));
    txtAcName = qv::named<qv::AccountBox>(Frame1, "txtAcName");
    txtAcName->setGeometry(twips(1680), twips(150), twips(5160), twips(360));
    lblAc->setBuddy(txtAcName);
    cmdFindAC = qv::named<QPushButton>(Frame1, "cmdFindAC", QStringLiteral("Find A/C"));
    cmdFindAC->setGeometry(twips(6960), twips(120), twips(1200), twips(420));
    auto* lblFrom = new QLabel(QStringLiteral("From :"), Frame1);
    lblFrom->setGeometry(twips(120), twips(840), twips(700), twips(330));
    DTPicker1 = qv::named<qv::DateBox>(Frame1, "DTPicker1");
    DTPicker1->setGeometry(twips(1680), twips(780), twips(1900), twips(400));
    auto* lblTo = new QLabel(QStringLiteral("To :"), Frame1);
    lblTo->setGeometry(twips(4000), twips(840), twips(500), twips(330));
    DTPicker2 = qv::named<qv::DateBox>(Frame1, "DTPicker2");
    DTPicker2->setGeometry(twips(4560), twips(780), twips(1900), twips(400));
    lblFrom->setBuddy(DTPicker1);
    lblTo->setBuddy(DTPicker2);
    connect(cmdFindAC, &QPushButton::clicked, this, [] { qv::showFinder(false); });
    // The balance sheet and the profit and loss account have a window of their own.
    auto* cmdStatements = qv::named<QPushButton>(Frame1, "cmdStatements", QStringLiteral("Statements..."));
    cmdStatements->setGeometry(twips(6960), twips(780), twips(1200), twips(420));
    connect(cmdStatements, &QPushButton::clicked, this, [] { qv::Windows::open(QStringLiteral("frmRPTStatements")); });

    // Load: every frame tagged "R" to the one place of the report panels.
    for (QFrame* f : findChildren<QFrame*>())
        if (f->property("tag").toString() == QLatin1String("R"))
            f->move(twips(1080), twips(420));
}

void frmRPTAccounts::showPanel(AccountsReport r)
{
    if (QFrame* f = panel(r)) {
        f->setVisible(true);
        f->raise();
    }
}

void frmRPTAccounts::onActivated()
{
    if (qv::takeFinderPick(txtAcName))
        cmdFindAC->setFocus();
}

void frmRPTAccounts::runReport(AccountsReport r)
{
    const auto& info = qv::rpt::accountsReport(r);
    const qint64 picked = txtAcName->accountId();
    // 1. The account.
    if (info.needsAccount && !txtAcName->hasAccount()) {
        qv::Msg::info(QStringLiteral("please select Account"));
        cmdFindAC->setFocus();
        return;
    }
    BusyCursor busy;
    qv::guarded([&] {
        // 2. The cash account, which the bank book checks too.
        qint64 account = picked;
        if (info.book) {
            const qint64 cash = qv::rpt::cashBookAccount(Conn);
            if (cash == 0) {
                qv::Msg::info(QStringLiteral("Cash Book Account not found!"));
                return;
            }
            if (r == AccountsReport::CashBook)
                account = cash;
        }
        // 3 to 5, then show. A failure shows its one message and opens no viewer.
        m_report = qv::rpt::openAccountsReport(TheBook, r, account, DTPicker1->date(), DTPicker2->date());
        frmVeiwer::ShowReport(m_report);
        if (m_report->mayReadStandby() && &Conn.reportConnection() != &Conn)
            qv::Status::say(QStringLiteral("Report read on %1, the server for reports (a standby may lag a little "
                                           "behind the vouchers just saved)")
                                .arg(Conn.reportConnection().serverName()));
    });
}
