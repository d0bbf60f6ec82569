#include "registrations/registrationstore.h"

#include "db/tables.h"

#include <QSqlQuery>
#include <QStringList>

namespace qv {

namespace {
const QString CategoryTable = QLatin1String(tbl::Catagory);
const QString ApplicationTable = QLatin1String(tbl::Application);

const QString CategoryColumns = QStringLiteral("select CataId, Catagory, Amount, Status from tblCatagory");
const QString ApplicationColumns = QStringLiteral(
    "select a.RowNo, a.ACCode, (select AcName from Accounts where RowID = a.ACCode) as Customer, a.RegNo, a.Place, "
    "a.RegDate, a.Name, a.FatherName, a.Guardian, a.DateOfBirth, a.Nationality, a.Sex, a.Address, a.ChangeInAdd, "
    "a.PhoneNo, a.Res, a.CellNo, a.ModeOfPayment from tblApplication a");

// A key typed into a box: a positive whole number, or nothing.
std::optional<qint64> keyOf(const QString& typed)
{
    bool ok = false;
    const qint64 k = typed.trimmed().toLongLong(&ok);
    return ok && k > 0 ? std::optional<qint64>(k) : std::nullopt;
}

QVariant textOrNull(const QString& t)
{
    return t.isEmpty() ? QVariant() : QVariant(t);
}

QVariant dateOrNull(const QDate& d)
{
    return d.isValid() ? QVariant(d) : QVariant();
}

// Only these columns may come from bound boxes; names never come from typed text.
std::optional<QString> knownColumn(const QString& column, const QStringList& allowed)
{
    for (const QString& a : allowed)
        if (a.compare(column, Qt::CaseInsensitive) == 0)
            return a;
    return std::nullopt;
}

RegistrationResult refused(SaveStatus s, const QString& message)
{
    return RegistrationResult{s, 0, message};
}
} // namespace

const QString RegistrationStore::CustomerTakenText = QStringLiteral("This customer is already exitis! ");

QString RegistrationStore::noSuchCategory(const QString& typed)
{
    return QStringLiteral("There is no catagory with the code %1.").arg(typed.trimmed());
}

QString RegistrationStore::noSuchApplication(const QString& typed)
{
    return QStringLiteral("There is no application with the number %1.").arg(typed.trimmed());
}

qint64 RegistrationStore::nextKey(const QString& table, const QString& key)
{
    // Table and key names are the program's own.
    return m_c.scalar(QStringLiteral("select COALESCE(max(%1), 0) + 1 from %2").arg(key, table)).toLongLong();
}

bool RegistrationStore::insertUnlessTaken(const QString& table, const QString& key,
                                          const QList<QPair<QString, QVariant>>& cols)
{
    QStringList names, marks;
    QVariantList params;
    for (const auto& [name, value] : cols) {
        names << name;
        marks << QStringLiteral("?");
        params << value;
    }
    QSqlQuery q = m_c.query(QStringLiteral("insert into %1 (%2) values (%3) on conflict (%4) do nothing returning %4")
                                .arg(table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')), key),
                            params);
    return q.next();
}

// ---- categories ----

std::vector<Category> RegistrationStore::categories(CategoryCriterion by, const QString& typed)
{
    QString sql = CategoryColumns;
    QVariantList params;
    if (by != CategoryCriterion::All) {
        sql += QStringLiteral(" where ")
               + likeContains(by == CategoryCriterion::Name ? QStringLiteral("Catagory")
                                                            : QStringLiteral("CAST(CataId AS TEXT)"));
        params << containsPattern(typed);
    }
    sql += QStringLiteral(" order by CataId desc");
    std::vector<Category> out;
    QSqlQuery q = m_c.query(sql, params);
    while (q.next())
        out.push_back(
            Category{q.value(0).toLongLong(), q.value(1).toString(), m_c.money(q.value(2)), q.value(3).toString()});
    return out;
}

RegistrationResult RegistrationStore::saveCategory(const CategoryInput& in)
{
    static const QStringList allowed = {QStringLiteral("Catagory"), QStringLiteral("Amount")};
    QList<QPair<QString, QVariant>> cols;
    for (const auto& [column, text] : in.fields) {
        const auto name = knownColumn(column, allowed);
        if (!name)
            throw DbError(QStringLiteral("The catagory has no column %1.").arg(column));
        QVariant v = textOrNull(text);
        if (*name == QLatin1String("Amount") && !text.trimmed().isEmpty()) {
            const auto m = parseAmount(text);
            if (!m)
                return refused(SaveStatus::NotANumber,
                               QStringLiteral("The total cost \"%1\" is not a number: please enter an amount such as "
                                              "1500000 or 1500000.50.")
                                   .arg(text));
            // Kept to the cent, as voucher amounts are: a third decimal is refused, not rounded.
            const QString typed = text.trimmed();
            if (const qsizetype dot = typed.indexOf(QLatin1Char('.')); dot >= 0 && typed.size() - dot - 1 > 2)
                return refused(SaveStatus::NotANumber,
                               QStringLiteral("The total cost \"%1\" has more than two decimals. Amounts are kept to "
                                              "the cent: please type at most two digits after the point.")
                                   .arg(text));
            v = QVariant::fromValue(*m);
        } else if (*name == QLatin1String("Amount")) {
            v = QVariant();
        }
        cols.append({*name, v});
    }
    cols.append({QStringLiteral("Status"), textOrNull(in.status)});

    if (!in.cataId.trimmed().isEmpty()) {
        const auto id = keyOf(in.cataId);
        if (!id)
            return refused(SaveStatus::NoSuchRow, noSuchCategory(in.cataId));
        QStringList sets;
        QVariantList params;
        for (const auto& [name, value] : cols) {
            sets << name + QStringLiteral(" = ?");
            params << value;
        }
        params << *id;
        if (m_c.execute(QStringLiteral("update tblCatagory set %1 where CataId = ?").arg(sets.join(QLatin1Char(','))),
                        params)
            == 0)
            return refused(SaveStatus::NoSuchRow, noSuchCategory(in.cataId));
        return RegistrationResult{SaveStatus::Saved, *id, {}};
    }

    // A code that another station took between reading the highest and inserting is read
    // again in the same transaction, which by then sees the other station's row.
    Transaction tx(m_c);
    for (int i = 0; i < MaxAttempts; ++i) {
        const qint64 id = nextKey(CategoryTable, QStringLiteral("CataId"));
        QList<QPair<QString, QVariant>> withKey = cols;
        withKey.prepend({QStringLiteral("CataId"), id});
        if (insertUnlessTaken(CategoryTable, QStringLiteral("CataId"), withKey)) {
            tx.commit();
            return RegistrationResult{SaveStatus::Saved, id, {}};
        }
    }
    throw DbError(
        QStringLiteral("No free catagory code was found: other stations kept taking them. Please save again."));
}

bool RegistrationStore::deleteCategory(const QString& cataId)
{
    const auto id = keyOf(cataId);
    return id && m_c.execute(QStringLiteral("delete from tblCatagory where CataId = ?"), {*id}) > 0;
}

// ---- applications ----

namespace {
Application applicationFrom(const QSqlQuery& q)
{
    Application a;
    a.rowNo = q.value(0).toLongLong();
    if (!q.value(1).isNull())
        a.acCode = q.value(1).toLongLong();
    a.customer = q.value(2).toString();
    a.regNo = q.value(3).toString();
    a.place = q.value(4).toString();
    a.regDate = q.value(5).toDate();
    a.name = q.value(6).toString();
    a.fatherName = q.value(7).toString();
    a.guardian = q.value(8).toString();
    a.dateOfBirth = q.value(9).toDate();
    a.nationality = q.value(10).toString();
    a.sex = q.value(11).toString();
    a.address = q.value(12).toString();
    a.changeInAdd = q.value(13).toString();
    a.phoneNo = q.value(14).toString();
    a.res = q.value(15).toString();
    a.cellNo = q.value(16).toString();
    a.modeOfPayment = q.value(17).toString();
    return a;
}
} // namespace

std::vector<Application> RegistrationStore::applications(ApplicationCriterion by, const QString& typed,
                                                         const QDate& day)
{
    QString sql = ApplicationColumns + QStringLiteral(" where ");
    QVariantList params;
    switch (by) {
    case ApplicationCriterion::RegNo:
        sql += likeContains(QStringLiteral("a.RegNo"));
        params << containsPattern(typed);
        break;
    case ApplicationCriterion::Name:
        sql += likeContains(QStringLiteral("a.Name"));
        params << containsPattern(typed);
        break;
    case ApplicationCriterion::RegDate:
        sql += QStringLiteral("a.RegDate = ?");
        params << QVariant(day);
        break;
    }
    sql += QStringLiteral(" order by a.RegNo desc, a.RowNo desc");
    std::vector<Application> out;
    QSqlQuery q = m_c.query(sql, params);
    while (q.next())
        out.push_back(applicationFrom(q));
    return out;
}

std::optional<Application> RegistrationStore::application(qint64 rowNo)
{
    QSqlQuery q = m_c.query(ApplicationColumns + QStringLiteral(" where a.RowNo = ?"), {rowNo});
    if (!q.next())
        return std::nullopt;
    return applicationFrom(q);
}

bool RegistrationStore::lockCustomer(qint64 acCode)
{
    // On the server the account row is held until the transaction ends: a second station
    // registering the same customer waits here, then sees the first one's application.
    // The embedded file admits one writing transaction at a time anyway.
    const QString lock = m_c.backend() == Backend::Postgres ? QStringLiteral(" for update") : QString();
    QSqlQuery q = m_c.query(QStringLiteral("select RowID from Accounts where RowID = ?") + lock, {acCode});
    return q.next();
}

bool RegistrationStore::customerHasApplication(qint64 acCode)
{
    return m_c.query(QStringLiteral("select RowNo from tblApplication where ACCode = ?"), {acCode}).next();
}

RegistrationResult RegistrationStore::saveApplication(const ApplicationInput& in)
{
    static const QStringList allowed = {QStringLiteral("RegNo"),       QStringLiteral("Place"),
                                        QStringLiteral("Name"),        QStringLiteral("FatherName"),
                                        QStringLiteral("Guardian"),    QStringLiteral("Address"),
                                        QStringLiteral("ChangeInAdd"), QStringLiteral("PhoneNo"),
                                        QStringLiteral("Res"),         QStringLiteral("CellNo")};
    QList<QPair<QString, QVariant>> cols;
    for (const auto& [column, text] : in.fields) {
        const auto name = knownColumn(column, allowed);
        if (!name)
            throw DbError(QStringLiteral("The application has no column %1.").arg(column));
        cols.append({*name, textOrNull(text)});
    }
    cols.append({QStringLiteral("RegDate"), dateOrNull(in.regDate)});
    cols.append({QStringLiteral("DateOfBirth"), dateOrNull(in.dateOfBirth)});
    cols.append({QStringLiteral("Nationality"), textOrNull(in.nationality)});
    cols.append({QStringLiteral("Sex"), textOrNull(in.sex)});
    if (in.modeOfPayment)
        cols.append({QStringLiteral("ModeOfPayment"), textOrNull(*in.modeOfPayment)});

    const auto acCode = keyOf(in.acCode);
    const QString noCustomer =
        QStringLiteral("There is no such customer account: please pick the customer with \"Find \".");
    std::optional<qint64> rowNo;
    if (!in.rowNo.trimmed().isEmpty()) {
        rowNo = keyOf(in.rowNo);
        if (!rowNo)
            return refused(SaveStatus::NoSuchRow, noSuchApplication(in.rowNo));
    }

    Transaction tx(m_c);
    if (!acCode || !lockCustomer(*acCode))
        return refused(SaveStatus::NoSuchCustomer, noCustomer);
    cols.prepend({QStringLiteral("ACCode"), *acCode});

    if (rowNo) {
        // A changed application may name a customer that already has one.
        QStringList sets;
        QVariantList params;
        for (const auto& [name, value] : cols) {
            sets << name + QStringLiteral(" = ?");
            params << value;
        }
        params << *rowNo;
        if (m_c.execute(QStringLiteral("update tblApplication set %1 where RowNo = ?").arg(sets.join(QLatin1Char(','))),
                        params)
            == 0)
            return refused(SaveStatus::NoSuchRow, noSuchApplication(in.rowNo));
        tx.commit();
        return RegistrationResult{SaveStatus::Saved, *rowNo, {}};
    }

    if (customerHasApplication(*acCode))
        return refused(SaveStatus::CustomerTaken, CustomerTakenText);
    for (int i = 0; i < MaxAttempts; ++i) {
        const qint64 no = nextKey(ApplicationTable, QStringLiteral("RowNo"));
        QList<QPair<QString, QVariant>> withKey = cols;
        withKey.prepend({QStringLiteral("RowNo"), no});
        if (insertUnlessTaken(ApplicationTable, QStringLiteral("RowNo"), withKey)) {
            tx.commit();
            return RegistrationResult{SaveStatus::Saved, no, {}};
        }
    }
    throw DbError(
        QStringLiteral("No free application number was found: other stations kept taking them. Please save again."));
}

bool RegistrationStore::deleteApplication(const QString& rowNo)
{
    const auto no = keyOf(rowNo);
    return no && m_c.execute(QStringLiteral("delete from tblApplication where RowNo = ?"), {*no}) > 0;
}

} // namespace qv
