#pragma once
// "Lock Period": the date up to which the book is final, behind the lock password beside "Set
// Menus". A manager moves it forward, or back (reopening) with a reason; the moves so far are
// listed, newest first.
#include "shell/mdichild.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace qv {
class DateBox;
}

class frmLockPeriod : public qv::MdiChild {
    Q_OBJECT
public:
    explicit frmLockPeriod(QWidget* parent = nullptr);

    void cmdSave_Click();
    // The date in force and the moves, read again.
    void ShowLock();

private:
    QLabel* lblCurrent;
    qv::DateBox* dtpUntil;
    QCheckBox* chkNothing;
    QLineEdit* txtReason;
    QTableWidget* grdMoves;
    QPushButton* cmdSave;
    QPushButton* cmdExit;
};
