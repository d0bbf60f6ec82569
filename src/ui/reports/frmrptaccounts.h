#pragma once
// "Accounts Report": the cash and bank books, the two ledgers and the three trial balances. A
// menu entry makes its own report panel visible (all panels share one place); the panel's
// button checks the account, prepares the data and shows the report in the viewer.
#include "reports/accountsreport.h"
#include "shell/mdichild.h"

#include <QHash>

class QDateEdit;
class QFrame;
class QPushButton;
class QToolButton;
namespace qv {
class AccountBox;
}

class frmRPTAccounts : public qv::MdiChild {
    Q_OBJECT
public:
    explicit frmRPTAccounts(QWidget* parent = nullptr);

    // A menu entry's part: the report's panel becomes visible (and comes to the front).
    void showPanel(qv::rpt::AccountsReport r);
    QFrame* panel(qv::rpt::AccountsReport r) const { return m_panels.value(int(r)); }

    // The button of a report panel: steps 1 to 5 and the viewer.
    void runReport(qv::rpt::AccountsReport r);

    void onActivated() override;

private:
    QFrame* Frame1 = nullptr;
    qv::AccountBox* txtAcName = nullptr;
    QPushButton* cmdFindAC = nullptr;
    QDateEdit* DTPicker1 = nullptr;
    QDateEdit* DTPicker2 = nullptr;
    QHash<int, QFrame*> m_panels;
    // The engine references of the last print (kept as the print sequence keeps them).
    std::shared_ptr<qv::rpt::Report> m_report;
};
