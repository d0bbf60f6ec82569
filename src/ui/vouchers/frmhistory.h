#pragma once
// A voucher's History: who saved, changed, printed or deleted it, when and from which station,
// and for the chosen record what it changed, line by line. Read from the audit trail.
#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QTableWidget;

class frmHistory : public QDialog {
    Q_OBJECT
public:
    frmHistory(const QString& kind, qint64 number, QWidget* parent);
    // Shows the history of one voucher, or says that none is recorded.
    static void showFor(const QString& kind, qint64 number, QWidget* parent);

private:
    void showChanges(int row);

    QLabel* lblVoucher;
    QTableWidget* grdHistory;
    QPlainTextEdit* txtChanges;
    QList<QStringList> m_changes;
};
