#pragma once
// "Remove Data": vouchers of a date range (every kind or one), all plot categories, all
// applications. Shows how many rows each choice removes, asks, copies the embedded database
// file first, then removes everything chosen in one transaction.
#include "shell/mdichild.h"
#include "admin/removedata.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;

class frmRemoveData : public qv::MdiChild {
    Q_OBJECT
public:
    explicit frmRemoveData(QWidget* parent = nullptr);

    qv::RemovalChoice choice() const;
    // Counts the rows of the current choice into lblCounts.
    void ShowCounts();
    void cmdRemove_Click();

    // The lines that tell what a choice removes (shown in the window and in the question).
    static QString describe(const qv::RemovalChoice& ch, const qv::RemovalCounts& n);

private:
    QCheckBox* chkVouchers;
    QComboBox* cboKind;
    QDateEdit* dtpFrom;
    QDateEdit* dtpTo;
    QCheckBox* chkCatagory;
    QCheckBox* chkApplication;
    QLabel* lblCounts;
    QPushButton* cmdRemove;
    QPushButton* cmdExit;
};
