#pragma once
// "Search Account": the one picker of postable accounts. The pick goes back to the caller
// through FindACRowID and FindACName; the caller takes it over when it is activated again.
#include "shell/mdichild.h"

#include <memory>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTableView;

namespace qv {
class AccountList;
class FinderModel;
} // namespace qv

class frmFindAC : public qv::MdiChild {
    Q_OBJECT
public:
    explicit frmFindAC(QWidget* parent = nullptr);
    ~frmFindAC() override;
    QSize sizeHint() const override;

    void FillGrid();
    void setGrid();
    void onActivated() override;

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pick(int row);
    void allAccountsClicked();
    void addAccounts();

    QCheckBox* chkAll = nullptr;
    QLineEdit* txtFindAC = nullptr;
    QTableView* mshSearch = nullptr;
    qv::FinderModel* m_model = nullptr;
    std::unique_ptr<qv::AccountList> m_list; // filtered in memory at each keystroke
    QPushButton* cmdAccounts = nullptr;
    QPushButton* cmdExit = nullptr;
};
