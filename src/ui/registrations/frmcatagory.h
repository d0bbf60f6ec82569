#pragma once
// "PLOTS CATAGORY": the plot categories, their cost and status; an entry tab and a search tab.
#include "shell/mdichild.h"
#include "widgets/unsaved.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

class frmCatagory : public qv::MdiChild {
    Q_OBJECT
public:
    explicit frmCatagory(QWidget* parent = nullptr);
    QSize sizeHint() const override;

    // criterion: "Catagory", "Catagory ID" or anything else (all categories).
    void FillGrid(const QString& criterion);
    void setGrid();
    void ClearAll();
    void SetMaxlength();
    bool hasUnsavedWork() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildEntryTab(QWidget* tab);
    void buildSearchTab(QWidget* tab);
    void pick(int row);
    void save();
    void deleteCatagory();

    QTabWidget* SSTab1 = nullptr;
    QLineEdit* txtCataId = nullptr;
    QLineEdit* txtCatagory = nullptr;
    QLineEdit* txtAmount = nullptr;
    QComboBox* CmbStatus = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdExit = nullptr;
    QPushButton* cmdPrint = nullptr;
    QComboBox* cmb_s_cri = nullptr;
    QLineEdit* txt_s_value = nullptr;
    QTableWidget* Msh = nullptr;
    // Set by the save: whether it added a category.
    bool m_newRecord = false;
    qv::EntrySnapshot m_stored; // the entry tab as last cleared or loaded
};
