#include "vouchers/voucherhistory.h"

#include "vouchers/voucherwrites.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSqlQuery>

namespace qv {

namespace {
QString shown(const QJsonValue& v)
{
    if (v.isNull() || v.isUndefined())
        return QStringLiteral("(none)");
    if (v.isString())
        return QLatin1Char('"') + v.toString() + QLatin1Char('"');
    return QString::number(v.toInteger());
}

// One detail row in words: the account it posts to, the other one, the amount and the texts.
QString lineText(const QJsonObject& l)
{
    const QString dr = l.value(QStringLiteral("DrAmt")).toString(), cr = l.value(QStringLiteral("CrAmt")).toString();
    const bool debit = dr != QLatin1String("0.00") && !dr.isEmpty();
    QString t = QStringLiteral("line %1: account %2 %3 %4")
                    .arg(l.value(QStringLiteral("EntryNo")).toInteger())
                    .arg(l.value(QStringLiteral("AcCode")).toInteger())
                    .arg(debit ? QStringLiteral("Dr") : QStringLiteral("Cr"), debit ? dr : cr);
    if (!l.value(QStringLiteral("CrAc")).isNull())
        t += QStringLiteral(" (against %1)").arg(l.value(QStringLiteral("CrAc")).toInteger());
    for (const char* field : {"Naration", "ChecqNo", "FileNo", "BillNo"}) {
        const QJsonValue v = l.value(QLatin1String(field));
        if (v.isString() && !v.toString().isEmpty())
            t += QStringLiteral(", %1 %2").arg(QLatin1String(field), shown(v));
    }
    return t;
}

QStringList lines(const QJsonObject& v)
{
    QStringList out;
    for (const QJsonValue& l : v.value(QStringLiteral("lines")).toArray())
        out << lineText(l.toObject());
    return out;
}
} // namespace

QStringList voucherDifferences(const QString& before, const QString& after)
{
    const QJsonObject b = QJsonDocument::fromJson(before.toUtf8()).object();
    const QJsonObject a = QJsonDocument::fromJson(after.toUtf8()).object();
    QStringList out;
    const struct {
        const char* key;
        const char* caption;
    } master[] = {{"VouNo", "Number"},      {"VouDate", "Date"},   {"PaidReceive", "Party"},
                  {"TotalAmount", "Total"}, {"ChecqNo", "Cheque"}, {"Login", "Saved by"}};
    if (!b.isEmpty() && !a.isEmpty())
        for (const auto& m : master) {
            const QJsonValue x = b.value(QLatin1String(m.key)), y = a.value(QLatin1String(m.key));
            if (x != y)
                out << QStringLiteral("%1: %2 -> %3").arg(QLatin1String(m.caption), shown(x), shown(y));
        }
    const QStringList was = lines(b), now = lines(a);
    for (const QString& l : was)
        if (!now.contains(l))
            out << QStringLiteral("- ") + l;
    for (const QString& l : now)
        if (!was.contains(l))
            out << QStringLiteral("+ ") + l;
    return out;
}

std::vector<HistoryEntry> voucherHistory(Connection& c, const QString& kind, qint64 number)
{
    AuditFilter f;
    f.key = VoucherWrites::key(kind, number);
    std::vector<HistoryEntry> out;
    // Accounts by their code and title rather than their RowID.
    QHash<QString, QString> names;
    const QRegularExpression id(QStringLiteral("(account|against) (\\d+)"));
    auto named = [&](QString line) {
        QRegularExpressionMatchIterator it = id.globalMatch(line);
        QList<QRegularExpressionMatch> found;
        while (it.hasNext())
            found.prepend(it.next());
        for (const QRegularExpressionMatch& m : found) {
            const QString key = m.captured(2);
            if (!names.contains(key)) {
                QSqlQuery q =
                    c.query(QStringLiteral("select AcNodes, AcName from Accounts where RowID = ?"), {key.toLongLong()});
                names.insert(key, q.next() ? q.value(0).toString() + QLatin1Char(' ') + q.value(1).toString() : key);
            }
            line.replace(m.capturedStart(2), m.capturedLength(2), names.value(key));
        }
        return line;
    };
    for (AuditRecord& r : AuditTrail(c).records(f)) {
        HistoryEntry e;
        for (const QString& line : voucherDifferences(r.before, r.after))
            e.changes << named(line);
        e.record = std::move(r);
        out.push_back(std::move(e));
    }
    return out;
}

} // namespace qv
