#pragma once
// "Bank Reconciliation": a bank account's bank book lines up to the statement date, ticked
// against the bank's statement. Open lines come first, then the ticked ones, then (locked) those
// of the last finished reconciliation. Space or a click ticks the current line, cleared on the
// statement date unless its "Cleared on" cell is edited; typing a cheque number finds its line
// (Enter ticks it). The figures follow every tick; "Finish" records the reconciliation at a
// difference of 0.00 only, "Postpone" keeps the ticks for later.
#include "bankrec/reconciliation.h"
#include "shell/mdichild.h"

#include <functional>

class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace qv {
class AccountBox;
class DateBox;
} // namespace qv

class frmBankRec : public qv::MdiChild {
    Q_OBJECT
public:
    explicit frmBankRec(QWidget* parent = nullptr);

    void onActivated() override;
    bool hasUnsavedWork() const override;

    void cmdFindBank_Click();
    // Reads the lines of the chosen bank up to the statement date (asks first when ticks would
    // be dropped).
    void cmdShow_Click();
    void cmdFinish_Click();
    void cmdPostpone_Click();
    void cmdUndo_Click();
    void cmdPrint_Click();
    // Reads the bank's statement (a CSV file), shows the proposed matches and the statement
    // lines the book lacks, and ticks the proposed lines when the user confirms.
    void cmdImport_Click();
    // The file the import reads (a file dialog; tests and screenshots put their own).
    static inline std::function<QString(QWidget*)> chooseStatementFile;
    // How the proposals are shown; true when the user confirms them (tests answer themselves).
    static inline std::function<bool(QDialog*)> confirmProposals;
    // Ticks or unticks the line of a grid row (locked rows stay as they are).
    void toggleRow(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();
    void fillGrid();
    void showFigures();
    void findCheque(const QString& typed);
    void cellEdited(QTableWidgetItem* item);
    bool readStatement(qv::Money* statement);
    void loadLines();
    QHash<qint64, QDate> ticks() const;

    qv::AccountBox* txtBank;
    QPushButton* cmdFindBank;
    qv::DateBox* dtpStatement;
    QLineEdit* txtStatementBal;
    QPushButton* cmdShow;
    QLabel* lblLast;
    QLineEdit* txtCheque;
    QTableWidget* grdLines;
    QLabel *lblBook, *lblCleared, *lblStatement, *lblDifference;
    QPushButton *cmdFinish, *cmdPostpone, *cmdUndo, *cmdPrint, *cmdImport, *cmdExit;

    qint64 m_account = 0;
    QDate m_date;
    qv::Money m_book, m_statement;
    std::optional<qv::FinishedRecon> m_last;
    std::vector<qv::BankLine> m_lines;
    QHash<qint64, QDate> m_kept; // the ticks as read, to tell unsaved ones
    bool m_filling = false;
    bool m_pickingBank = false;
};
