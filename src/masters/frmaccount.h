#pragma once
// The chart-of-accounts window: the tree of the three levels, the entry of control, sub-control
// and subsidiary accounts (the level follows from the node selected before "&New"), their
// renaming and deletion, and the search of subsidiary accounts by title.
#include "masters/accountstore.h"
#include "shell/mdichild.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;
class QTableView;
class QTreeWidgetItem;

namespace qv {
class AccountEntry;
class AccountTree;
}

class frmAccount : public qv::MdiChild {
    Q_OBJECT
public:
    explicit frmAccount(QWidget* parent = nullptr);
    QSize sizeHint() const override;

    void FillTreeData();
    void ClearAll();
    void SetMaxlength();
    void FillData();
    void FillGrid();
    void setGrid();
    void EditAC(qint32 rowId);

    // The node of that key ("'3.2'"), or null.
    QTreeWidgetItem* nodeByKey(const QString& key) const;

    bool NewAccountMode = false;
    QString OldTitle;
    QString SelectedKey;
    QString LoadedStatus;
    bool RightButtonDown = false;

private:
    void buildEntryTab(QWidget* tab);
    void buildSearchTab(QWidget* tab);

    void selectNode(QTreeWidgetItem* item);
    void closeTitles();
    void showSubControl(bool on);
    void lstTree_NodeClick(QTreeWidgetItem* item);
    void lstTree_Toggled();
    void mnuEdit_Click();
    void cmdCreateAc_Click();
    void newAccount();
    void saveAccount();
    bool writeAccount(QString* branchCode, bool* edited);
    void openSavedBranch(const QString& code, bool edited);
    void cmdCancel_Click();
    void Command3_Click();
    void cmdExit_Click();
    void mshSearch_DblClick(int row);

    qint64 selectedRowId() const;
    bool requireTitle(QLineEdit* box);

    qv::AccountStore m_store;

    QTabWidget* SSTab = nullptr;
    qv::AccountTree* lstTree = nullptr;
    QLineEdit* txtFindParent = nullptr;
    QCheckBox* chkHead = nullptr;
    QLabel* lblTitle = nullptr;
    QLineEdit* txtAcDes = nullptr;
    QLineEdit* txtOrder = nullptr;
    QLabel* lblSubControl = nullptr;
    QLineEdit* txtSubControl = nullptr;
    QLineEdit* txtSubsidiary = nullptr;
    qv::AccountEntry* frmEntry = nullptr;
    QPushButton* cmdCreateAc = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdPrint = nullptr;
    QPushButton* cmdExit = nullptr;
    QMenu* mnuPop = nullptr;
    QAction* mnuEdit = nullptr;
    QLineEdit* txtFindAC = nullptr;
    QTableView* mshSearch = nullptr;
};
