#pragma once
// "Account Classes": the class of each control account (Assets, Liabilities, Equity, Income,
// Expenses) and the month the financial year starts, which the balance sheet and the profit
// and loss account need. Opened from the chart of accounts (its right).
#include "shell/mdichild.h"

#include <QMap>

class QComboBox;
class QPushButton;
class QTableWidget;

class frmAcClasses : public qv::MdiChild {
    Q_OBJECT
public:
    explicit frmAcClasses(QWidget* parent = nullptr);

    // Reads the heads and their classes again (unsaved choices are dropped).
    void load();
    // Writes every choice in one transaction; false when the database refused it (shown).
    bool save();
    bool hasUnsavedWork() const override;

private:
    QMap<QString, QString> chosen() const; // code -> class letter ("" for none), and "" -> month
    QTableWidget* grdClasses = nullptr;
    QComboBox* cboStartMonth = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdClose = nullptr;
    QMap<QString, QString> m_loaded;
};
