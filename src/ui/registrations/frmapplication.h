#pragma once
// A customer's application for a plot: the applicant's particulars, the customer account picked
// with the account finder, and the mode of payment; an entry tab and a search tab.
#include "shell/mdichild.h"
#include "widgets/unsaved.h"

class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableWidget;

class frmApplication : public qv::MdiChild {
    Q_OBJECT
public:
    explicit frmApplication(QWidget* parent = nullptr);
    QSize sizeHint() const override;

    void FillGrid();
    void setGrid();
    void ClearAll();
    void FillData();
    void SetMaxLenght();
    void onActivated() override;
    bool hasUnsavedWork() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildEntryTab(QWidget* tab);
    void buildSearchTab(QWidget* tab);
    void clearNic();
    void pick(int row);
    void save();
    void deleteApplication();

    QTabWidget* SSTab1 = nullptr;
    QLineEdit* txtRowNo = nullptr;
    QLineEdit* txtCusId = nullptr;
    QLineEdit* txtCusName = nullptr;
    QPushButton* CmbFind = nullptr;
    QLineEdit* txtRegNo = nullptr;
    QDateEdit* RegDate = nullptr;
    QLineEdit* txtPlace = nullptr;
    QLineEdit* txtName = nullptr;
    QLineEdit* txtFName = nullptr;
    QLineEdit* txtGuardian = nullptr;
    QDateEdit* DateOfBirth = nullptr;
    QLineEdit* msk_Nic_no = nullptr;
    QComboBox* CmbSex = nullptr;
    QLineEdit* txtAddress = nullptr;
    QLineEdit* txtChInAddress = nullptr;
    QLineEdit* txtPhNo = nullptr;
    QLineEdit* txtRes = nullptr;
    QLineEdit* txtCellNo = nullptr;
    QRadioButton* OptOnBooking = nullptr;
    QRadioButton* OptCash = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdExit = nullptr;
    QPushButton* cmdPrint = nullptr;
    QComboBox* cmb_s_cri = nullptr;
    QLineEdit* txt_s_value = nullptr;
    QDateEdit* DTPicker1 = nullptr;
    QTableWidget* Msh = nullptr;
    bool m_newRecord = false;
    qv::EntrySnapshot m_stored; // the entry tab as last cleared or loaded
};
