#include "masters/accountclasses.h"

#include <QSqlQuery>

#include <algorithm>

namespace qv {

namespace {

const QString StartMonthSetting = QStringLiteral("FinancialYearStartMonth");

// Codes sort as numbers, level by level: 2 before 10.
bool codeLess(const QString& a, const QString& b)
{
    const QStringList x = a.split(QLatin1Char('.')), y = b.split(QLatin1Char('.'));
    for (int i = 0; i < qMin(x.size(), y.size()); ++i)
        if (x[i].toLongLong() != y[i].toLongLong())
            return x[i].toLongLong() < y[i].toLongLong();
    return x.size() < y.size();
}

} // namespace

const QList<QPair<QChar, QString>>& AccountClasses::all()
{
    static const QList<QPair<QChar, QString>> classes = {{QLatin1Char('A'), QStringLiteral("Assets")},
                                                         {QLatin1Char('L'), QStringLiteral("Liabilities")},
                                                         {QLatin1Char('E'), QStringLiteral("Equity")},
                                                         {QLatin1Char('I'), QStringLiteral("Income")},
                                                         {QLatin1Char('X'), QStringLiteral("Expenses")}};
    return classes;
}

QString AccountClasses::name(QChar cls)
{
    for (const auto& [letter, text] : all())
        if (letter == cls)
            return text;
    return {};
}

QChar AccountClasses::parse(const QString& text)
{
    const QString t = text.trimmed();
    for (const auto& [letter, name] : all())
        if (t.compare(name, Qt::CaseInsensitive) == 0 || t.compare(QString(letter), Qt::CaseInsensitive) == 0)
            return letter;
    return {};
}

QList<ControlHead> AccountClasses::heads()
{
    const QMap<QString, QChar> classes = byCode();
    QList<ControlHead> out;
    QSqlQuery q = m_c.query(QStringLiteral("SELECT AcNodes, AcName FROM Accounts WHERE AcStatus = 'HH'"));
    while (q.next()) {
        const QString nodes = q.value(0).toString().trimmed();
        out.append({nodes, q.value(1).toString(), classes.value(nodes)});
    }
    std::sort(out.begin(), out.end(),
              [](const ControlHead& a, const ControlHead& b) { return codeLess(a.nodes, b.nodes); });
    return out;
}

QMap<QString, QChar> AccountClasses::byCode()
{
    QMap<QString, QChar> out;
    QSqlQuery q = m_c.query(QStringLiteral("SELECT AcNodes, AcClass FROM AcClass"));
    while (q.next()) {
        const QString cls = q.value(1).toString().trimmed();
        if (!cls.isEmpty())
            out.insert(q.value(0).toString().trimmed(), cls.at(0));
    }
    return out;
}

QStringList AccountClasses::unclassified()
{
    QStringList out;
    for (const ControlHead& h : heads())
        if (h.cls.isNull())
            out << h.nodes + QLatin1Char(' ') + h.name;
    return out;
}

void AccountClasses::set(const QString& nodes, QChar cls)
{
    const QString code = nodes.trimmed();
    if (!cls.isNull() && name(cls).isEmpty())
        throw DbError(QStringLiteral("\"%1\" is not a class: the classes are Assets, Liabilities, Equity, Income and "
                                     "Expenses.")
                          .arg(cls));
    Transaction tx(m_c);
    if (m_c.scalar(QStringLiteral("SELECT COUNT(*) FROM Accounts WHERE AcStatus = 'HH' AND TRIM(AcNodes) = ?"), {code})
            .toInt()
        == 0)
        throw DbError(QStringLiteral("There is no control account with the code %1.").arg(code));
    m_c.execute(QStringLiteral("DELETE FROM AcClass WHERE AcNodes = ?"), {code});
    if (!cls.isNull())
        m_c.execute(QStringLiteral("INSERT INTO AcClass (AcNodes, AcClass) VALUES (?, ?)"), {code, QString(cls)});
    tx.commit();
}

void AccountClasses::forgetDeletedHead(qint64 rowId)
{
    m_c.execute(QStringLiteral("DELETE FROM AcClass WHERE AcNodes IN (SELECT TRIM(AcNodes) FROM Accounts WHERE "
                               "RowID = ? AND AcStatus = 'HH')"),
                {rowId});
}

int AccountClasses::startMonth()
{
    const QVariant v =
        m_c.scalar(QStringLiteral("SELECT SetValue FROM BookSettings WHERE SetName = ?"), {StartMonthSetting});
    bool ok = false;
    const int m = v.toString().toInt(&ok);
    return ok && m >= 1 && m <= 12 ? m : DefaultStartMonth;
}

void AccountClasses::setStartMonth(int month)
{
    if (month < 1 || month > 12)
        throw DbError(QStringLiteral("The financial year starts in a month from 1 to 12, not %1.").arg(month));
    Transaction tx(m_c);
    m_c.execute(QStringLiteral("DELETE FROM BookSettings WHERE SetName = ?"), {StartMonthSetting});
    m_c.execute(QStringLiteral("INSERT INTO BookSettings (SetName, SetValue) VALUES (?, ?)"),
                {StartMonthSetting, QString::number(month)});
    tx.commit();
}

QDate financialYearStart(const QDate& day, int startMonth)
{
    const int year = day.month() >= startMonth ? day.year() : day.year() - 1;
    return QDate(year, startMonth, 1);
}

} // namespace qv
