#include "reports/frmrptstatements.h"

#include "masters/accountclasses.h"
#include "reports/statementreport.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "viewer/frmveiwer.h"
#include "widgets/datebox.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"
#include "widgets/named.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

frmRPTStatements::frmRPTStatements(QWidget* parent)
    : MdiChild(parent)
{
    setObjectName(QStringLiteral("frmRPTStatements"));
    setWindowTitle(QStringLiteral("Financial Statements"));
    auto* lay = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const QDate today = QDate::currentDate();
    int month = qv::AccountClasses::DefaultStartMonth;
    qv::guarded([&] { month = qv::AccountClasses(Conn).startMonth(); });
    DTPickerFrom = qv::named<qv::DateBox>(this, "DTPickerFrom", qv::financialYearStart(today, month));
    DTPickerTo = qv::named<qv::DateBox>(this, "DTPickerTo", today);
    form->addRow(QStringLiteral("From (profit and loss) :"), DTPickerFrom);
    form->addRow(QStringLiteral("To / As at :"), DTPickerTo);
    cboLevel = qv::named<QComboBox>(this, "cboLevel");
    cboLevel->addItems({QStringLiteral("Control accounts"), QStringLiteral("Sub-control accounts"),
                        QStringLiteral("Subsidiary accounts")});
    cboLevel->setCurrentIndex(1);
    form->addRow(QStringLiteral("Level :"), cboLevel);
    auto* compare = new QHBoxLayout;
    chkCompare = qv::named<QCheckBox>(this, "chkCompare", QStringLiteral("Compare with"));
    DTPickerCompare = qv::named<qv::DateBox>(this, "DTPickerCompare", today.addYears(-1));
    DTPickerCompare->setEnabled(false);
    compare->addWidget(chkCompare);
    compare->addWidget(DTPickerCompare);
    compare->addWidget(new QLabel(QStringLiteral("(profit and loss: the same range a year earlier)"), this));
    compare->addStretch(1);
    form->addRow(QString(), compare);
    lay->addLayout(form);
    auto* buttons = new QHBoxLayout;
    cmdBalanceSheet = qv::named<QPushButton>(this, "cmdBalanceSheet", QStringLiteral("&Balance Sheet"));
    cmdProfitLoss = qv::named<QPushButton>(this, "cmdProfitLoss", QStringLiteral("&Profit and Loss"));
    auto* cmdParties = qv::named<QPushButton>(this, "cmdParties", QStringLiteral("Pa&rties..."));
    buttons->addWidget(cmdParties);
    buttons->addStretch(1);
    buttons->addWidget(cmdBalanceSheet);
    buttons->addWidget(cmdProfitLoss);
    lay->addLayout(buttons);
    lay->addStretch(1);
    connect(chkCompare, &QCheckBox::toggled, DTPickerCompare, &QWidget::setEnabled);
    connect(cmdBalanceSheet, &QPushButton::clicked, this, &frmRPTStatements::runBalanceSheet);
    connect(cmdProfitLoss, &QPushButton::clicked, this, &frmRPTStatements::runProfitLoss);
    connect(cmdParties, &QPushButton::clicked, this, [] { qv::Windows::open(QStringLiteral("frmRPTParty")); });
}

int frmRPTStatements::level() const
{
    return cboLevel->currentIndex() + 1;
}

bool frmRPTStatements::classesComplete()
{
    QStringList open;
    if (!qv::guarded([&] { open = qv::AccountClasses(Conn).unclassified(); }))
        return false;
    if (open.isEmpty())
        return true;
    if (qv::Msg::askYesNo(QStringLiteral("These control accounts have no class yet:\n%1\n\nThe balance sheet and the "
                                         "profit and loss account need the class of every control account. Set "
                                         "them now?")
                              .arg(open.join(QLatin1Char('\n')))))
        qv::Windows::open(QStringLiteral("frmAcClasses"));
    return false;
}

void frmRPTStatements::runBalanceSheet()
{
    if (!classesComplete())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    qv::guarded([this] {
        m_report = qv::rpt::openBalanceSheet(TheBook, DTPickerTo->date(), level(),
                                             chkCompare->isChecked() ? DTPickerCompare->date() : QDate());
        frmVeiwer::ShowReport(m_report);
    });
    QApplication::restoreOverrideCursor();
}

void frmRPTStatements::runProfitLoss()
{
    if (!classesComplete())
        return;
    if (DTPickerFrom->date() > DTPickerTo->date()) {
        qv::Msg::info(QStringLiteral("The first date of the range is after the last."));
        DTPickerFrom->setFocus();
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    qv::guarded([this] {
        m_report = qv::rpt::openProfitLoss(TheBook, DTPickerFrom->date(), DTPickerTo->date(), level(),
                                           chkCompare->isChecked());
        frmVeiwer::ShowReport(m_report);
    });
    QApplication::restoreOverrideCursor();
}
