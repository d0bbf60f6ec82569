#pragma once
// "Search Account": the one picker of postable accounts. The pick goes back to the caller
// through FindACRowID and FindACName; the caller takes it over when it is activated again.
#include "shell/mdichild.h"

#include <QMdiSubWindow>
#include <QPointer>

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
    // The window the finder works for: it comes back to the front after a pick or Exit,
    // whatever else the frame would bring up.
    void setCaller(QMdiSubWindow* caller) { m_caller = caller; }

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pick(int row);
    // Brings the caller to the front (it takes a pick on its activation), then closes.
    void backToCaller();
    void allAccountsClicked();
    void addAccounts();

    QCheckBox* chkAll = nullptr;
    QLineEdit* txtFindAC = nullptr;
    QTableView* mshSearch = nullptr;
    qv::FinderModel* m_model = nullptr;
    std::unique_ptr<qv::AccountList> m_list; // filtered in memory at each keystroke
    QPushButton* cmdAccounts = nullptr;
    QPushButton* cmdExit = nullptr;
    QPointer<QMdiSubWindow> m_caller;
};
