#pragma once
// "Financial Statements": the balance sheet as at a date and the profit and loss account for a
// range, at a chosen level, with an optional comparison column. A book whose control accounts
// are not all classed says which first and offers the classes window. Opened from the accounts
// report launcher.
#include "reportengine/report.h"
#include "shell/mdichild.h"

class QCheckBox;
class QComboBox;
class QPushButton;
namespace qv {
class DateBox;
}

class frmRPTStatements : public qv::MdiChild {
    Q_OBJECT
public:
    explicit frmRPTStatements(QWidget* parent = nullptr);

    void runBalanceSheet();
    void runProfitLoss();

private:
    // False (having said so and offered the classes window) when a control account has no class.
    bool classesComplete();
    int level() const;

    qv::DateBox* DTPickerFrom = nullptr;
    qv::DateBox* DTPickerTo = nullptr;
    QCheckBox* chkCompare = nullptr;
    qv::DateBox* DTPickerCompare = nullptr;
    QComboBox* cboLevel = nullptr;
    QPushButton* cmdBalanceSheet = nullptr;
    QPushButton* cmdProfitLoss = nullptr;
    std::shared_ptr<qv::rpt::Report> m_report;
};
