#pragma once
// "Import": a chart, openings or vouchers brought in from a file, behind the lock password beside
// "Lock Period". The preview is the plan (what --dry-run prints); "Import" writes it all in one
// transaction, with a progress bar, or nothing.
#include "shell/mdichild.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

class frmImport : public qv::MdiChild {
    Q_OBJECT
public:
    explicit frmImport(QWidget* parent = nullptr);

    void cmdBrowse_Click();
    // Fills the preview from the file; false (and an empty list) when it is refused.
    bool cmdPreview_Click();
    void cmdImport_Click();

private:
    QLineEdit* txtFile;
    QPushButton* cmdBrowse;
    QComboBox* cboFormat;
    QCheckBox* chkRenumber;
    QCheckBox* chkSkipExisting;
    QListWidget* lstPreview;
    QProgressBar* prgImport;
    QPushButton* cmdPreview;
    QPushButton* cmdImport;
    QPushButton* cmdExit;
};
