#pragma once
// The chart-of-accounts window: the tree of the three levels, the entry of control, sub-control
// and subsidiary accounts (the level follows from the node selected before "&New"), their
// renaming and deletion, and the search of subsidiary accounts by title.
#include "masters/accountlist.h"
#include "masters/accountsave.h"
#include "masters/accountstore.h"
#include "shell/mdichild.h"
#include "widgets/unsaved.h"

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
} // namespace qv

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
    void EditAC(qint64 rowId);
    // An account being entered or changed whose boxes differ from what was loaded.
    bool hasUnsavedWork() const override;

    // The node of that key ("'3.2'"), or null.
    QTreeWidgetItem* nodeByKey(const QString& key) const;

    // Browse: the button offers "&New". NewAccount / Change: it offers "&Save", for a new
    // account or for the loaded one.
    enum class Mode { Browse, NewAccount, Change };
    Mode mode() const { return m_mode; }
    bool NewAccountMode() const { return m_mode == Mode::NewAccount; }

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
    void lstTree_NodeShown(QTreeWidgetItem* item);
    void bringBackFinder();
    void lstTree_Toggled();
    void mnuEdit_Click();
    void cmdCreateAc_Click();
    void newAccount();
    void saveAccount();
    bool writeAccount(const qv::accounts::SavePlan& plan, QString* branchCode, bool* edited);
    void openSavedBranch(const QString& code, bool edited);
    void cmdCancel_Click();
    void Command3_Click();
    void cmdExit_Click();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void mshSearch_DblClick(int row);

    void setMode(Mode m);
    void setSelected(qint64 rowId);
    bool requireTitle(QLineEdit* box);
    QLineEdit* titleBox(qv::accounts::TitleBox b) const;
    // True when the user keeps unsaved work instead of loading the node (asked once per node).
    bool keepsWorkOver(QTreeWidgetItem* item);

    qv::AccountStore m_store;
    qv::AccountList m_list; // the search tab filters it in memory at each keystroke
    Mode m_mode = Mode::Browse;
    qint64 m_selectedId = 0;    // the node loaded last; 0 when none
    qv::EntrySnapshot m_stored; // the entry boxes as last loaded, cleared or saved
    QString m_keptOver;         // the node the user did not load, to keep unsaved work

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
