#pragma once
// The subsidiary account's detail panel (frmEntry): its title, opening date, the bound boxes
// tagged "D", the masked tax numbers and the bank/supplier marks, with their key rules.
#include "masters/accountstore.h"

#include <QGroupBox>
#include <optional>

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
    // Beside the opening box: its side (Dr for a positive figure, Cr for a negative one; the
    // stored sign stays as typed) and what the openings of every subsidiary account net to, with
    // this account's figure as typed. Read again from the book by fillDetails and clearDetails.
    void showOpeningSide();

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
    QLabel* lblOpenSide = nullptr;
    QLabel* lblOpenDifference = nullptr;

private:
    void wireKeys();
    // The openings of the other accounts, net (debit positive); nothing when unread.
    void readOtherOpenings(bool thisAccountStored);
    std::optional<Money> m_otherOpenings;
};

// A ticked box shows its caption in bold.
void boldWhenTicked(QCheckBox* c);

} // namespace qv
