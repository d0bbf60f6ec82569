#pragma once
// "Company Information": the company profiles and which one is the active company.
#include "shell/mdichild.h"
#include "widgets/unsaved.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

class frmCompany : public qv::MdiChild {
    Q_OBJECT
public:
    explicit frmCompany(QWidget* parent = nullptr);
    QSize sizeHint() const override;

    void ClearAll();
    void FillGrid();
    void SetMaxlength();
    bool hasUnsavedWork() const override;

private:
    void buildEntryTab(QWidget* tab);
    void buildSearchTab(QWidget* tab);
    void pickRow(int row);
    void save();
    void deleteCompany();
    // The status bar says the window is ready for a new company.
    void sayNew();
    void setMask(QLineEdit* box, const QString& text);

    QTabWidget* SSTab = nullptr;
    QLineEdit* txtCompCode = nullptr;
    QLineEdit* txtCompany = nullptr;
    QLineEdit* txtAddr = nullptr;
    QLineEdit* txtTel = nullptr;
    QLineEdit* txtFax = nullptr;
    QLineEdit* mskTax = nullptr;
    QLineEdit* mskNTN = nullptr;
    QLineEdit* txtEmail = nullptr;
    QLineEdit* txtWebSite = nullptr;
    QCheckBox* chkComActive = nullptr;
    QPushButton* cmdNew = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdExit = nullptr;
    QLineEdit* txtSearch = nullptr;
    QTableWidget* Msh = nullptr;
    qv::EntrySnapshot m_stored; // the entry tab as last cleared or loaded
};
