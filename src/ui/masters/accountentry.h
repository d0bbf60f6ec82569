#pragma once
// The subsidiary account's detail panel (frmEntry): its title, opening date, the bound boxes
// tagged "D", the masked tax numbers and the bank/supplier marks, with their key rules.
#include "masters/accountstore.h"

#include <QGroupBox>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;

namespace qv {

class AccountEntry : public QGroupBox {
    Q_OBJECT
public:
    static inline const QString Tag = QStringLiteral("D");

    explicit AccountEntry(QWidget* parent = nullptr);

    // Empties the bound boxes, resets the masks and sets the opening date to today.
    void clearDetails();
    // Loads the details of the current row of a subsidiary account.
    void fillDetails(const RecordSet& rs);
    // The maximum lengths of the bound boxes from their columns.
    void setMaxLengths(AccountStore& store);
    // What the panel stores, with the title from txtSubsidiary.
    SubsidiaryInput input() const;
    // "." alone is no amount: the box is emptied so that null is stored.
    void dropLoneDot();
    bool openBalanceValid() const;

    QLabel* Label7 = nullptr;
    QLineEdit* txtSubsidiary = nullptr;
    QDateEdit* dtpOpening = nullptr;
    QLineEdit* txtContactPerson = nullptr;
    QLineEdit* txt_address = nullptr;
    QLineEdit* txtAdd2 = nullptr;
    QLineEdit* txt_telno = nullptr;
    QLineEdit* txt_faxno = nullptr;
    QLineEdit* txt_email = nullptr;
    QLineEdit* txt_website = nullptr;
    QLineEdit* txtLocation = nullptr;
    QLineEdit* txt_OpenBal = nullptr;
    QLineEdit* txt_Gstno = nullptr;
    QLineEdit* txt_Ntnno = nullptr;
    QCheckBox* chkBank = nullptr;
    QCheckBox* chkSupplier = nullptr;

private:
    void wireKeys();
};

// A ticked box shows its caption in bold.
void boldWhenTicked(QCheckBox* c);

} // namespace qv
