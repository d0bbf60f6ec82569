#include "reports/journalexport.h"

#include "db/money.h"
#include "masters/accountclasses.h"
#include "reports/openings.h"
#include "vouchers/voucherkinds.h"

#include <QMap>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <vector>

namespace qv::rpt {

namespace {

const QString OpeningEquity = QStringLiteral("Equity:Opening Balances");
const QString UnbalancedEquity = QStringLiteral("Equity:Unbalanced Vouchers");

// The opening and the rows are read in one snapshot, so a voucher saved meanwhile by another
// station is either in both or in neither. Read only: no write lock is taken.
class ReadSnapshot {
public:
    explicit ReadSnapshot(Connection& c)
        : m_c(c)
    {
        if (c.inTransaction())
            return; // the caller's transaction is the snapshot
        if (c.backend() == Backend::Postgres) {
            // A whole book may take longer than one statement of ordinary work.
            c.execute(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY"));
            m_own = true;
            try {
                c.allowLongStatements();
            } catch (...) {
                c.database().rollback();
                throw;
            }
        } else {
            m_own = c.database().transaction();
        }
    }
    ~ReadSnapshot()
    {
        if (m_own)
            m_c.database().rollback();
    }
    ReadSnapshot(const ReadSnapshot&) = delete;
    ReadSnapshot& operator=(const ReadSnapshot&) = delete;

private:
    Connection& m_c;
    bool m_own = false;
};

// Buffered output that fails loudly: a full disk is an error, not a short file.
class Sink {
public:
    explicit Sink(QIODevice& out)
        : m_out(out)
    {
    }
    void add(const QString& text)
    {
        m_buf += text.toUtf8();
        if (m_buf.size() >= (1 << 16))
            flush();
    }
    void flush()
    {
        if (!m_buf.isEmpty() && m_out.write(m_buf) != m_buf.size())
            throw DbError(QStringLiteral("The export could not be written: %1").arg(m_out.errorString()));
        m_buf.clear();
    }

private:
    QIODevice& m_out;
    QByteArray m_buf;
};

struct ChartEntry {
    QString nodes, title;
};

QHash<qint64, ChartEntry> readChart(Connection& c)
{
    QHash<qint64, ChartEntry> chart;
    QSqlQuery q = c.query(QStringLiteral("SELECT RowID, AcNodes, AcName FROM Accounts"));
    while (q.next())
        chart.insert(q.value(0).toLongLong(), {q.value(1).toString().trimmed(), q.value(2).toString()});
    return chart;
}

QHash<qint64, QString> namesOf(const QHash<qint64, ChartEntry>& chart)
{
    QHash<QString, QString> titleByNodes;
    for (const ChartEntry& e : chart)
        titleByNodes.insert(e.nodes, e.title);
    QHash<qint64, QString> names;
    for (auto it = chart.cbegin(); it != chart.cend(); ++it) {
        if (it->nodes.isEmpty()) {
            names.insert(it.key(), QStringLiteral("Account %1 %2").arg(it.key()).arg(journalNamePart(it->title)));
            continue;
        }
        QStringList parts;
        QString prefix;
        for (const QString& code : it->nodes.split(QLatin1Char('.'))) {
            prefix += (prefix.isEmpty() ? QString() : QStringLiteral(".")) + code;
            parts << journalNamePart(prefix + QLatin1Char(' ') + titleByNodes.value(prefix));
        }
        names.insert(it.key(), parts.join(QLatin1Char(':')));
    }
    return names;
}

QString nameOf(const QHash<qint64, QString>& names, qint64 id)
{
    const auto it = names.constFind(id);
    return it != names.cend() ? *it : QStringLiteral("Unknown Accounts:Account %1").arg(id);
}

QDate openingDate(Connection& c, const ExportOptions& o)
{
    if (o.from.isValid())
        return o.from.addDays(-1);
    const QVariant first = o.to.isValid()
                               ? c.scalar(QStringLiteral("SELECT MIN(VouDate) FROM DetJV WHERE VouDate <= ?"), {o.to})
                               : c.scalar(QStringLiteral("SELECT MIN(VouDate) FROM DetJV"));
    if (!first.isNull())
        return first.toDate().addDays(-1);
    return o.to.isValid() ? o.to : QDate::currentDate();
}

QString isoDate(const QDate& d)
{
    // The ISO form without a pattern to parse for every voucher; the pattern for the years it
    // does not write.
    return d.year() >= 0 && d.year() <= 9999 ? d.toString(Qt::ISODate) : d.toString(QStringLiteral("yyyy-MM-dd"));
}

bool journalCarries(const QDate& d)
{
    return d.isValid() && d >= journalFirstDate() && d <= journalLastDate();
}

[[noreturn]] void refuseDate(const QString& what, const QDate& d)
{
    throw DbError(QStringLiteral("%1 is dated %2, which a journal cannot carry: ledger reads dates from %3 to %4. "
                                 "Nothing was exported.")
                      .arg(what, d.isValid() ? isoDate(d) : QStringLiteral("(no date)"), isoDate(journalFirstDate()),
                           isoDate(journalLastDate())));
}

QString voucherLabel(const QString& status, qint64 number)
{
    const VoucherKindInfo* k = voucherKindByCode(status);
    return (k ? k->prefix : status + QLatin1Char('-')) + QString::number(number);
}

// One detail row as read from the stream.
struct Row {
    QDate date;
    QString status;
    qint64 number = 0;
    int entry = 0;
    qint64 account = 0;
    QVariant contra;
    Money dr, cr;
    QString cheque, narration, fileNo, billNo, party;
};

class JournalWriter {
public:
    JournalWriter(Sink& sink, const QHash<qint64, QString>& names, ExportStats& stats)
        : m_sink(sink)
        , m_names(names)
        , m_stats(stats)
    {
    }
    void add(const Row& r)
    {
        if (!m_open || r.status != m_status || r.number != m_number || r.date != m_date)
            finish();
        if (!m_open) {
            m_open = true;
            m_status = r.status, m_number = r.number, m_date = r.date;
            m_text = isoDate(r.date) + QLatin1Char(' ')
                     + payee(voucherLabel(r.status, r.number) + QLatin1Char(' ') + r.party) + QLatin1Char('\n');
            m_sum = Money();
        }
        const Money amount = r.dr - r.cr;
        m_sum = m_sum + amount;
        QString note = r.narration.trimmed();
        if (!r.cheque.trimmed().isEmpty())
            note += (note.isEmpty() ? QString() : QStringLiteral(" ")) + QStringLiteral("(cheque %1)").arg(r.cheque);
        m_text += posting(nameOf(m_names, r.account), amount, note);
    }
    void finish()
    {
        if (!m_open)
            return;
        if (m_sum.cents != 0) {
            ++m_stats.unbalanced;
            m_text += posting(UnbalancedEquity, Money(-m_sum.cents), {});
        }
        m_sink.add(m_text + QLatin1Char('\n'));
        ++m_stats.vouchers;
        m_open = false;
    }
    static QString posting(const QString& account, Money amount, const QString& note)
    {
        QString line = QStringLiteral("    ") + account + QStringLiteral("  ") + plainAmount(amount);
        if (!note.isEmpty())
            line += QStringLiteral("  ; ") + journalText(note, true);
        return line + QLatin1Char('\n');
    }
    static QString payee(const QString& text)
    {
        QString p = journalText(text, false);
        // A leading mark would be read as the transaction's status or code.
        if (!p.isEmpty() && QStringLiteral("*!(").contains(p[0]))
            p.prepend(QLatin1Char('_'));
        return p;
    }

private:
    Sink& m_sink;
    const QHash<qint64, QString>& m_names;
    ExportStats& m_stats;
    bool m_open = false;
    QString m_status, m_text;
    qint64 m_number = 0;
    QDate m_date;
    Money m_sum;
};

void writeCsvRow(Sink& sink, const Row& r, const QHash<qint64, ChartEntry>& chart)
{
    const ChartEntry acc = chart.value(r.account, {QString(), QStringLiteral("(account %1 not found)").arg(r.account)});
    ChartEntry contra;
    if (!r.contra.isNull())
        contra = chart.value(r.contra.toLongLong(),
                             {QString(), QStringLiteral("(account %1 not found)").arg(r.contra.toLongLong())});
    const QStringList fields{isoDate(r.date),   voucherLabel(r.status, r.number),
                             r.status,          QString::number(r.number),
                             r.party,           QString::number(r.entry),
                             acc.nodes,         acc.title,
                             plainAmount(r.dr), plainAmount(r.cr),
                             contra.nodes,      contra.title,
                             r.cheque,          r.narration,
                             r.fileNo,          r.billNo};
    QStringList quoted;
    for (const QString& f : fields)
        quoted << csvField(f);
    sink.add(quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n"));
}

} // namespace

QString journalNamePart(const QString& text)
{
    QString s = text.simplified();
    s.replace(QLatin1Char(':'), QLatin1Char('-')).replace(QLatin1Char(';'), QLatin1Char(','));
    return s.isEmpty() ? QStringLiteral("-") : s;
}

QString journalText(const QString& text, bool comment)
{
    QString s = text.simplified();
    s.replace(QLatin1Char(';'), QLatin1Char(',')).replace(QLatin1Char('|'), QLatin1Char('/'));
    if (comment)
        s.replace(QLatin1Char(':'), QLatin1Char('-'))
            .replace(QLatin1Char('['), QLatin1Char('('))
            .replace(QLatin1Char(']'), QLatin1Char(')'));
    return s;
}

QString csvField(const QString& text)
{
    static const QString special = QStringLiteral(",\"\r\n");
    for (const QChar ch : text)
        if (special.contains(ch))
            return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\""))
                   + QLatin1Char('"');
    return text;
}

QDate journalFirstDate()
{
    return QDate(1400, 1, 1);
}

QDate journalLastDate()
{
    return QDate(9999, 12, 31);
}

QString journalDateProblem(const ExportOptions& o)
{
    if (o.from.isValid() && !journalCarries(o.from.addDays(-1)))
        return QStringLiteral("A journal cannot start at %1: its opening balances are dated the day before, and "
                              "ledger reads dates from %2 to %3. Give --from %4 or later (or export as CSV).")
            .arg(isoDate(o.from), isoDate(journalFirstDate()), isoDate(journalLastDate()),
                 isoDate(journalFirstDate().addDays(1)));
    if (o.to.isValid() && !journalCarries(o.to))
        return QStringLiteral("A journal cannot run to %1: ledger reads dates from %2 to %3.")
            .arg(isoDate(o.to), isoDate(journalFirstDate()), isoDate(journalLastDate()));
    return {};
}

QHash<qint64, QString> journalAccountNames(Connection& c)
{
    return namesOf(readChart(c));
}

ExportStats exportJournal(Connection& c, const ExportOptions& o, QIODevice& out)
{
    ReadSnapshot snapshot(c);
    const bool ledger = o.format == ExportFormat::Ledger;
    QString where = QStringLiteral(" WHERE d.VouDate IS NOT NULL");
    QVariantList params;
    if (o.from.isValid())
        where += QStringLiteral(" AND d.VouDate >= ?"), params << o.from;
    if (o.to.isValid())
        where += QStringLiteral(" AND d.VouDate <= ?"), params << o.to;
    QMap<qint64, Money> open;
    QDate openedOn;
    if (ledger) {
        if (const QString problem = journalDateProblem(o); !problem.isEmpty())
            throw DbError(problem);
        // Every date the journal will carry, checked before a byte is written.
        QSqlQuery span = c.query(QStringLiteral("SELECT MIN(d.VouDate), MAX(d.VouDate) FROM DetJV d") + where, params);
        if (span.next() && !span.isNull(0)) {
            for (int i = 0; i < 2; ++i)
                if (!journalCarries(span.value(i).toDate()))
                    refuseDate(QStringLiteral("A voucher"), span.value(i).toDate());
        }
        span.finish();
        open = OpeningBalances(c).all(o.from);
        openedOn = openingDate(c, o);
        if (std::any_of(open.cbegin(), open.cend(), [](Money m) { return m.cents != 0; }) && !journalCarries(openedOn))
            refuseDate(QStringLiteral("The opening balances transaction (the day before the first voucher)"), openedOn);
    }
    const QHash<qint64, ChartEntry> chart = readChart(c);
    ExportStats stats;
    Sink sink(out);
    QHash<qint64, QString> names;
    if (ledger) {
        names = namesOf(chart);
        sink.add(QStringLiteral("; The book exported by quoravel-admin%1%2.\n\n")
                     .arg(o.from.isValid() ? QStringLiteral(" from ") + isoDate(o.from) : QString(),
                          o.to.isValid() ? QStringLiteral(" to ") + isoDate(o.to) : QString()));
        QStringList declared = names.values();
        declared.sort();
        declared << OpeningEquity;
        // A classed control account carries its type, on a comment line that ledger passes over:
        // hledger's balancesheet and incomestatement read it.
        QHash<QString, QString> types;
        const QMap<QString, QChar> classes = AccountClasses(c).byCode();
        for (auto it = chart.cbegin(); it != chart.cend(); ++it)
            if (!it->nodes.isEmpty() && !it->nodes.contains(QLatin1Char('.')) && classes.contains(it->nodes))
                types.insert(names.value(it.key()), classes.value(it->nodes) == QLatin1Char('I')
                                                        ? QStringLiteral("R")
                                                        : QString(classes.value(it->nodes)));
        if (!types.isEmpty())
            types.insert(OpeningEquity, QStringLiteral("E"));
        for (const QString& n : std::as_const(declared))
            sink.add(QStringLiteral("account ") + n + QLatin1Char('\n')
                     + (types.contains(n) ? QStringLiteral("    ; type: %1\n").arg(types.value(n)) : QString()));
        sink.add(QStringLiteral("\n"));
        QString text;
        Money sum;
        std::vector<std::pair<QString, Money>> lines;
        for (auto it = open.cbegin(); it != open.cend(); ++it)
            if (it->cents != 0) {
                lines.emplace_back(nameOf(names, it.key()), *it);
                sum = sum + *it;
            }
        std::sort(lines.begin(), lines.end());
        if (!lines.empty()) {
            text = isoDate(openedOn) + QStringLiteral(" Opening balances\n");
            for (const auto& [name, amount] : lines)
                text += JournalWriter::posting(name, amount, {});
            if (sum.cents != 0)
                text += JournalWriter::posting(OpeningEquity, Money(-sum.cents), {});
            sink.add(text + QLatin1Char('\n'));
            stats.openings = int(lines.size());
        }
    } else {
        sink.add(QStringLiteral("Date,Voucher,Kind,Number,Party,EntryNo,AccountCode,Account,Debit,Credit,ContraCode,"
                                "Contra,Cheque,Narration,FileNo,BillNo\r\n"));
    }

    // Every line in date order: on the embedded book a scan of the table and one sort. (Its
    // planner would otherwise walk an index that holds the dates and look each line up from
    // there, twice as slow.)
    const QString lines =
        c.backend() == Backend::Sqlite ? QStringLiteral("DetJV d NOT INDEXED") : QStringLiteral("DetJV d");
    QSqlQuery q =
        c.query(QStringLiteral("SELECT d.VouDate, d.VouStatus, d.VouNo, d.EntryNo, d.AcCode, d.CrAc, d.DrAmt, d.CrAmt, "
                               "d.ChecqNo, d.Naration, d.FileNo, d.BillNo, m.PaidReceive "
                               "FROM %1 LEFT JOIN MasJV m ON m.VouStatus = d.VouStatus AND m.VouNo = d.VouNo")
                        .arg(lines)
                    + where + QStringLiteral(" ORDER BY d.VouDate, d.VouStatus, d.VouNo, d.EntryNo, d.RowID"),
                params);
    JournalWriter journal(sink, names, stats);
    Row r;
    qint64 csvVouchers = 0;
    Row csvLast;
    while (q.next()) {
        r.date = q.value(0).toDate();
        r.status = q.value(1).toString().trimmed();
        r.number = q.value(2).toLongLong();
        r.entry = q.value(3).toInt();
        r.account = q.value(4).toLongLong();
        r.contra = q.value(5);
        r.dr = c.moneyOrZero(q.value(6));
        r.cr = c.moneyOrZero(q.value(7));
        r.cheque = q.value(8).toString();
        r.narration = q.value(9).toString();
        r.fileNo = q.value(10).toString();
        r.billNo = q.value(11).toString();
        r.party = q.value(12).toString();
        if (ledger) {
            journal.add(r);
        } else {
            if (stats.rows == 0 || r.number != csvLast.number || r.status != csvLast.status || r.date != csvLast.date)
                ++csvVouchers;
            writeCsvRow(sink, r, chart);
            csvLast = r;
        }
        ++stats.rows;
        if (o.progress && stats.rows % o.progressEvery == 0 && !o.progress(stats.rows))
            throw DbError(QStringLiteral("The export was stopped after %1 detail rows.").arg(stats.rows));
    }
    // A stream cut short (a lost server) ends next() early: that is a failure, not the end.
    if (q.lastError().isValid())
        throw DbError(q.lastError().text());
    journal.finish();
    if (!ledger)
        stats.vouchers = csvVouchers;
    sink.flush();
    return stats;
}

} // namespace qv::rpt
