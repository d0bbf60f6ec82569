#pragma once
// "Voucher Setup": start numbers of every document kind, the default accounts of the voucher
// kinds with their sides, and the tax accounts of the sales tax invoice. Accounts come from
// the finder; "&Save" rewrites the whole table at once.
#include "shell/mdichild.h"
#include "widgets/unsaved.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
namespace qv {
class AccountBox;
}

class frmAcSetting : public qv::MdiChild {
    Q_OBJECT
public:
    explicit frmAcSetting(QWidget* parent = nullptr);
    // Shows the loaded window, or loads it at the frame's top left corner at its full size.

    void FillVouSetting();
    void onActivated() override;
    bool hasUnsavedWork() const override;
    // The finder code of the last "Find A/C" pressed (empty until one is).
    QString findCode() const { return m_findCode; }

private:
    struct StartDef {
        QLineEdit* frmAcSetting::*box;
        const char* name;
        const char* label;
    };
    struct AccountDef {
        qv::AccountBox* frmAcSetting::*box;
        const char* name;
        const char* label; // empty: the panel's title says it
        QPushButton* frmAcSetting::*find;
        const char* findName;
        const char* findCode;
    };
    // A default-account panel: start box, account box, side, fixed or not.
    struct PanelDef {
        const char* title;
        int start;   // into StartDefs
        int account; // into AccountDefs
        QPushButton* frmAcSetting::*clear;
        const char* clearName;
        QRadioButton* frmAcSetting::*dr;
        const char* drName;
        QRadioButton* frmAcSetting::*cr;
        const char* crName;
        QCheckBox* frmAcSetting::*fix;
        const char* fixName;
    };
    static const StartDef StartDefs[11];
    static const AccountDef AccountDefs[11];
    static const PanelDef PanelDefs[6];

    QGroupBox* buildPanel(const PanelDef& p);
    QGroupBox* buildTaxPanel();
    QGroupBox* buildGstPanel();
    QPushButton* makeFindButton(const AccountDef& a, QWidget* parent);
    void clearPanel(const PanelDef& p);
    void clearAll();
    void save();

    QString m_findCode;
    qv::EntrySnapshot m_stored; // the boxes as last loaded or saved

    QLineEdit *txtCP = nullptr, *txtCR = nullptr, *txtBP = nullptr, *txtBR = nullptr, *txtJV = nullptr;
    QLineEdit *txtSalInv = nullptr, *txtPurOrder = nullptr, *txtQuot = nullptr, *txtDC = nullptr;
    QLineEdit *txtTaxInv = nullptr, *txtGstInv = nullptr;

    qv::AccountBox *txtCPAcc = nullptr, *txtCRAcc = nullptr, *txtBPAcc = nullptr, *txtBRAcc = nullptr;
    qv::AccountBox *txtJVAcc = nullptr, *txtSalInvACC = nullptr, *txtSTaxACC = nullptr, *txtShortFLLAC = nullptr;
    qv::AccountBox *txtIncTaxACRpt = nullptr, *txtSalTaxAcRpt = nullptr, *txtGstACC = nullptr;

    QPushButton *cmdCPFindAC = nullptr, *cmdCRFindAC = nullptr, *cmdBPFindAC = nullptr, *cmdBRFindAC = nullptr;
    QPushButton *cmdJVFindAC = nullptr, *cmdSalInvFindAC = nullptr, *cmdFindSTaxAC = nullptr;
    QPushButton *cmdShrtFLLAc = nullptr, *cmdIncTaxAC = nullptr, *cmdSTaxACRpt = nullptr, *cmdFindGst = nullptr;

    QPushButton *cmdClearCP = nullptr, *cmdClearCR = nullptr, *cmdClearBP = nullptr, *cmdClearBR = nullptr;
    QPushButton *cmdClearJV = nullptr, *cmdClearSalInv = nullptr, *cmdClearSTax = nullptr, *cmdClearGst = nullptr;

    QRadioButton *optCPDr = nullptr, *optCPCr = nullptr, *optCRDr = nullptr, *optCRCr = nullptr;
    QRadioButton *optBPDr = nullptr, *optBPCr = nullptr, *optBRDr = nullptr, *optBRCr = nullptr;
    QRadioButton *optJVDr = nullptr, *optJVCr = nullptr, *optSalInvDr = nullptr, *optSalInvCr = nullptr;
    QCheckBox *chkCPYN = nullptr, *chkCRYN = nullptr, *chkBPYN = nullptr, *chkBRYN = nullptr;
    QCheckBox *chkJVYN = nullptr, *chkSalInvYN = nullptr;

    QPushButton *cmdSave = nullptr, *cmdClear = nullptr, *cmdExit = nullptr;
};
