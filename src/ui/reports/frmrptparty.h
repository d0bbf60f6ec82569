#pragma once
// "Party Statements": the statement of one party, or of every party under a head (one a page),
// for a range, and the ageing of the parties under a head (or of one) as at the last date.
// Opened from "Financial Statements".
#include "reportengine/report.h"
#include "shell/mdichild.h"

class QComboBox;
class QPushButton;
namespace qv {
class AccountBox;
class DateBox;
} // namespace qv

class frmRPTParty : public qv::MdiChild {
    Q_OBJECT
public:
    explicit frmRPTParty(QWidget* parent = nullptr);

    void runStatement();
    void runAgeing();
    void onActivated() override;

private:
    // The picked account, else the head chosen; 0 (having said so) when neither.
    qint64 chosen();

    QComboBox* cboHead = nullptr;
    qv::AccountBox* txtAcName = nullptr;
    QPushButton* cmdFindAC = nullptr;
    QPushButton* cmdClearAC = nullptr;
    qv::DateBox* DTPickerFrom = nullptr;
    qv::DateBox* DTPickerTo = nullptr;
    QPushButton* cmdPartyStatement = nullptr;
    QPushButton* cmdAgeing = nullptr;
    std::shared_ptr<qv::rpt::Report> m_report;
};
