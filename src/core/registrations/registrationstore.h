#pragma once
// Plot categories (tblCatagory) and customers' applications (tblApplication). Every value
// travels as a bound parameter. A new code or row number is allocated and inserted in one
// transaction; when another station took the number first (it is the key) it is allocated again.
// The one-application-per-customer check and the insert share one transaction that holds the
// customer's account, so two stations cannot both register the same customer.
#include "db/connection.h"
#include "db/money.h"

#include <QDate>
#include <QList>
#include <QPair>
#include <optional>
#include <vector>

namespace qv {

enum class SaveStatus {
    Saved,
    NotANumber,     // the cost is not an amount to the cent
    NoSuchRow,      // the code or row number typed matches nothing stored
    CustomerTaken,  // a new application for a customer that already has one
    NoSuchCustomer, // no customer account picked, or the account is gone
};

struct RegistrationResult {
    SaveStatus status = SaveStatus::Saved;
    qint64 key = 0;  // the code or row number saved
    QString message; // what the user is told when nothing was saved
    bool ok() const { return status == SaveStatus::Saved; }
};

struct Category {
    qint64 cataId = 0;
    QString catagory;            // null reads as empty
    std::optional<Money> amount; // null: no cost
    QString status;
};

// Bound boxes send their columns and texts; an empty text is stored as null.
using BoundTexts = QList<QPair<QString, QString>>;

struct CategoryInput {
    QString cataId;    // as typed; empty for a new category
    BoundTexts fields; // Catagory, Amount
    QString status;
};

struct Application {
    qint64 rowNo = 0;
    std::optional<qint64> acCode;
    QString customer; // the account's title
    QString regNo, place;
    QDate regDate;
    QString name, fatherName, guardian;
    QDate dateOfBirth;
    QString nationality, sex, address, changeInAdd, phoneNo, res, cellNo, modeOfPayment;
};

struct ApplicationInput {
    QString rowNo;     // as typed; empty for a new application
    QString acCode;    // RowID of the customer's account
    BoundTexts fields; // RegNo, Place, Name, FatherName, Guardian, Address, ChangeInAdd, PhoneNo, Res, CellNo
    QDate regDate;
    QDate dateOfBirth;
    QString nationality; // the identity-card number with its dashes; empty: null
    QString sex;
    std::optional<QString> modeOfPayment; // nullopt: the column is not written
};

enum class CategoryCriterion { All, Name, Code };
enum class ApplicationCriterion { RegNo, Name, RegDate };

class RegistrationStore {
public:
    explicit RegistrationStore(Connection& c)
        : m_c(c)
    {
    }

    // Categories, newest code first; by name or by code containing the typed text.
    std::vector<Category> categories(CategoryCriterion by, const QString& typed = {});
    RegistrationResult saveCategory(const CategoryInput& in);
    // False when no category has that code.
    bool deleteCategory(const QString& cataId);

    // Applications, highest registration number first: by registration number or name
    // containing the typed text, or registered on one day.
    std::vector<Application> applications(ApplicationCriterion by, const QString& typed, const QDate& day = {});
    std::optional<Application> application(qint64 rowNo);
    RegistrationResult saveApplication(const ApplicationInput& in);
    bool deleteApplication(const QString& rowNo);

    int columnWidth(const QString& table, const QString& column) { return m_c.columnWidth(table, column); }

    static QString noSuchCategory(const QString& typed);
    static QString noSuchApplication(const QString& typed);
    static const QString CustomerTakenText;

    // How often a number is allocated again after another station took it first.
    static constexpr int MaxAttempts = 8;

private:
    // Inserts unless the key is taken: false when another row has it.
    bool insertUnlessTaken(const QString& table, const QString& key, const QList<QPair<QString, QVariant>>& cols);
    qint64 nextKey(const QString& table, const QString& key);
    bool customerHasApplication(qint64 acCode);
    bool lockCustomer(qint64 acCode);

    Connection& m_c;
};

} // namespace qv
