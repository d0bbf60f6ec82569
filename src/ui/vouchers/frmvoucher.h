#pragma once
// The voucher window: one class for the five kinds (frmJV, frmBP, frmBR, frmCP, frmCR). What
// differs between them is the kind's row of the voucher-kinds table: captions, which account box
// is the line's and which the contra, the grid, the boxes each step empties, where the focus
// goes after a failed check. The SQL is the voucher store's.
#include "shell/mdichild.h"
#include "vouchers/voucherlist.h"
#include "vouchers/voucherstore.h"
#include "widgets/unsaved.h"

class QComboBox;
class QDateEdit;
class QModelIndex;
class QTableView;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QPlainTextEdit;
namespace qv {
class AccountBox;
class VoucherSearchModel;
} // namespace qv

class frmVoucher : public qv::MdiChild {
    Q_OBJECT
public:
    explicit frmVoucher(qv::VoucherKind kind, QWidget* parent = nullptr);
    const qv::VoucherKindInfo& kind() const { return m_kind; }

    void setGrid();
    void FixAccount();
    void SetMaxlength();
    void NewNo();
    void ClearAll();
    void OpenVoucher();
    void totGrdAmount();

    void onActivated() override;
    // Lines on screen that differ from what is stored (a new voucher's lines, or an opened
    // voucher changed).
    bool hasUnsavedWork() const override;

    // Window state: a save inserts (true) or changes the voucher shown (false).
    bool IsNewVoucher = true;
    qint64 StartVouNo = 0;
    std::optional<qv::Side> FinderSide; // the box the finder was last opened for

    // Opens the voucher with that number in edit mode (the search list's double click); asks
    // first when lines on screen are not saved.
    void openForChange(qint64 number);

signals:
    // A save wrote its master row, or a delete was asked for: the search list is refreshed.
    void vouchersChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    QString unsavedQuestion() const override;

private:
    void load();
    void buildEntryTab(QWidget* tab);
    void buildTabOrder();
    void connectEntry();

    void selectAccount(qv::Side side);
    void cmdAdd_Click();
    void MshEntry_DblClick();
    void acmRemove_Click();
    void cmdSave_Click();
    void cmdDelete_Click();
    void cmdCancel_Click();

    // Line checks, in their order; false when one failed (message shown, focus moved).
    bool checkLine();
    void focusAfter(qv::CheckFocus f);
    void clearBoxes(int boxes);
    qv::AccountBox* box(qv::Side side) const { return side == qv::Side::Debit ? txtDrAc : txtCrAc; }
    // The setup's account, put back into its box when the setup fixes it.
    void putBackFixedAccount();
    void setLineRow(int row, const qv::VoucherLine& line);
    qv::VoucherLine lineAt(int row) const;
    bool lineHasAccount(int row) const; // its account cell is not empty
    int lineCount() const;
    qv::Voucher voucherOnScreen() const;
    // A save whose outcome was not known (the link broke during COMMIT, no server answered):
    // looked for before anything else is saved. False when the click has nothing more to do.
    bool settlePendingSave();
    // The user leaves those lines (Cancel, another voucher opened): says what became of it.
    void leavePendingSave();
    void saved(const qv::SaveResult& r);
    void showVoucher(const qv::Voucher& v);
    void setChangingRow(int row);

    const qv::VoucherKindInfo& m_kind;
    qv::VoucherStore m_store;
    std::optional<qv::KindSetup> m_setup;
    int m_changingRow = -1;   // the grid row being changed, -1 for a new line
    qint64 m_openedRowId = 0; // the identity of the voucher opened for change
    int m_narrationWidth = 0;
    qv::EntrySnapshot m_stored; // the date, party and lines as last loaded, saved or cleared
    std::optional<qv::PendingSave> m_pending;

private:
    QTabWidget* SSTab = nullptr;
    QWidget* searchTab = nullptr; // "Search Voucher"
    QLabel* lblfrmTitle = nullptr;
    QLineEdit* txtVouStatus = nullptr;
    QLineEdit* txtVoucher = nullptr;
    QDateEdit* DTPicker = nullptr;
    QLabel* lblPaidTo = nullptr;
    QLineEdit* txtPaidTo = nullptr;
    qv::AccountBox* txtDrAc = nullptr;
    QPushButton* cmdSelectDr = nullptr;
    qv::AccountBox* txtCrAc = nullptr;
    QPushButton* cmdSelectCr = nullptr;
    QLineEdit* txtDRCR = nullptr;
    QLineEdit* txtChecque = nullptr;
    QPlainTextEdit* txtNaration = nullptr;
    QLineEdit* txtFile = nullptr;
    QLineEdit* txtBill = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* acmRemove = nullptr;
    QTableWidget* MshEntry = nullptr;
    QLabel* lblTotalAmount = nullptr;
    QLineEdit* txtTotAmount = nullptr;
    QLineEdit* txtGrdRow = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdPrint = nullptr;
    QPushButton* cmdExit = nullptr;
    QPushButton* cmdHistory = nullptr; // the voucher's audit records

    // ---- search tab and printing (frmvouchersearch.cpp, voucherprint.cpp) ----
public:
    // Fills mshSearch by the criterion in cboSearch; a criterion that is none of the three
    // leaves the list as it is. The first lines show at once; a long list is read on in pages
    // while the event loop runs (a new search drops the rest of the old one).
    void SearchGrd();
    bool searchComplete() const { return !m_searchPending; }
    qv::VoucherSearchModel* searchModel() const { return m_searchModel; }

private:
    QComboBox* cboSearch = nullptr;
    QLabel* lblSearch = nullptr;
    QLineEdit* txtSearch = nullptr;
    QDateEdit* DTPSearch = nullptr;
    QTableView* mshSearch = nullptr;
    void buildSearchTab(QWidget* tab);
    void cboSearch_Changed(const QString& text);
    void mshSearch_DblClick(const QModelIndex& index);
    void cmdPrint_Click();
    void readMoreVouchers(int round, int criterion, const QString& text, const QDate& day);
    // The search's matches, in number order, from the vouchers of the kind in memory once the
    // search tab has been shown; before that (the list at load) from the query.
    std::vector<qv::FoundVoucher> searchPage(const qv::VoucherCriterion& c, qint64 after, int limit);
    qv::VoucherSearchModel* m_searchModel = nullptr;
    std::unique_ptr<qv::VoucherList> m_vouchers;
    int m_searchRound = 0;
    bool m_searchPending = false;
};
