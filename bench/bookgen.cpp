#include "bookgen.h"

#include "db/audittrail.h"
#include "db/provision.h"

#include "vouchers/voucherstore.h"

#include <QElapsedTimer>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <array>
#include <libpq-fe.h>
#include <memory>

namespace qvb {

namespace {

const char* Narrations[] = {"Running bill", "Booking amount, plot 114", "Instalment received",
                            "Office rent",  "Cement, 1,200 bags",       "Site staff wages",
                            "Transfer fee", "Electricity bill"};

// The embedded file takes prepared inserts in one transaction; a server takes the rows through
// COPY (libpq), since ten million single inserts would take hours there.
const QString MasterColumns = QStringLiteral("VouNo, VouStatus, VouDate, PaidReceive, TotalAmount, Login");
const QString DetailColumns =
    QStringLiteral("VouNo, VouStatus, VouDate, EntryNo, AcCode, CrAc, DrAmt, CrAmt, ChecqNo, Naration, FileNo, BillNo");

class InsertWriter : public RowWriter {
public:
    explicit InsertWriter(qv::Connection& c)
        : m_c(c)
        , m_master(c.database())
        , m_detail(c.database())
    {
        prepare(m_master, QStringLiteral("insert into MasJV (%1) values (?, ?, ?, ?, ?, ?)").arg(MasterColumns));
        prepare(
            m_detail,
            QStringLiteral("insert into DetJV (%1) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)").arg(DetailColumns));
    }
    void master(const QVariantList& values) override { run(m_master, values); }
    void detail(const QVariantList& values) override { run(m_detail, values); }
    void finish() override {}

private:
    static void prepare(QSqlQuery& q, const QString& sql)
    {
        if (!q.prepare(sql))
            throw qv::DbError(q.lastError().text());
    }
    void run(QSqlQuery& q, const QVariantList& values)
    {
        for (int i = 0; i < values.size(); ++i)
            q.bindValue(i, m_c.toStorage(values[i]));
        if (!q.exec())
            throw qv::DbError(q.lastError().text());
    }
    qv::Connection& m_c;
    QSqlQuery m_master, m_detail;
};

// COPY ... FROM STDIN in text format: the detail rows stream as they are made; the master rows
// (a tenth as many) wait in memory for their own COPY, one COPY being open at a time.
class CopyWriter : public RowWriter {
public:
    explicit CopyWriter(qv::Connection& c)
        : m_c(c)
    {
        const QVariant h = c.database().driver() ? c.database().driver()->handle() : QVariant();
        if (!h.isValid() || (qstrcmp(h.typeName(), "PGconn*") != 0 && qstrcmp(h.typeName(), "pg_conn*") != 0))
            throw qv::DbError(QStringLiteral("The book is not on a PostgreSQL server."));
        m_pg = *static_cast<PGconn* const*>(h.constData());
        // One COPY of millions of rows (and the month sums' trigger on all of them at its end) is
        // one statement: ordinary work's 30-second limit would end it on a busy machine.
        c.allowLongStatements();
        begin(QStringLiteral("DetJV (%1)").arg(DetailColumns));
    }
    void master(const QVariantList& values) override { line(m_masters, values); }
    void detail(const QVariantList& values) override
    {
        line(m_buffer, values);
        if (m_buffer.size() > (1 << 20))
            flush();
    }
    void finish() override
    {
        end();
        begin(QStringLiteral("MasJV (%1)").arg(MasterColumns));
        m_buffer = std::move(m_masters);
        end();
    }

private:
    void fail(const char* what)
    {
        throw qv::DbError(QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromUtf8(PQerrorMessage(m_pg))));
    }
    void begin(const QString& table)
    {
        PGresult* r = PQexec(m_pg, QStringLiteral("COPY %1 FROM STDIN").arg(table).toUtf8().constData());
        const bool ok = PQresultStatus(r) == PGRES_COPY_IN;
        PQclear(r);
        if (!ok)
            fail("COPY could not start");
    }
    void flush()
    {
        if (!m_buffer.isEmpty() && PQputCopyData(m_pg, m_buffer.constData(), int(m_buffer.size())) != 1)
            fail("COPY failed");
        m_buffer.clear();
    }
    void end()
    {
        flush();
        if (PQputCopyEnd(m_pg, nullptr) != 1)
            fail("COPY could not end");
        bool ok = true;
        QString why;
        while (PGresult* r = PQgetResult(m_pg)) {
            if (PQresultStatus(r) != PGRES_COMMAND_OK) {
                ok = false;
                why = QString::fromUtf8(PQresultErrorMessage(r));
            }
            PQclear(r);
        }
        if (!ok)
            throw qv::DbError(QStringLiteral("COPY failed: %1").arg(why));
    }
    void line(QByteArray& out, const QVariantList& values)
    {
        for (int i = 0; i < values.size(); ++i) {
            if (i)
                out += '\t';
            const QVariant v = m_c.toStorage(values[i]);
            if (v.isNull()) {
                out += "\\N";
            } else if (v.metaType() == QMetaType::fromType<QDate>()) {
                out += v.toDate().toString(Qt::ISODate).toLatin1();
            } else {
                for (const char ch : v.toString().toUtf8()) {
                    switch (ch) {
                    case '\\':
                        out += "\\\\";
                        break;
                    case '\t':
                        out += "\\t";
                        break;
                    case '\n':
                        out += "\\n";
                        break;
                    case '\r':
                        out += "\\r";
                        break;
                    default:
                        out += ch;
                    }
                }
            }
        }
        out += '\n';
    }
    qv::Connection& m_c;
    PGconn* m_pg = nullptr;
    QByteArray m_buffer, m_masters;
};

QVariant orNull(const std::optional<QString>& t)
{
    return t ? QVariant(*t) : QVariant(QMetaType::fromType<QString>());
}

const char* Heads[] = {"ASSETS", "LIABILITIES", "CAPITAL", "INCOME", "EXPENSES"};
const char* SubHeads[] = {"CASH",
                          "BANKS",
                          "CUSTOMERS",
                          "FIXED ASSETS",
                          "SUPPLIERS",
                          "CONTRACTORS",
                          "CUSTOMER ADVANCES",
                          "ACCRUED EXPENSES",
                          "PAID-UP CAPITAL",
                          "PARTNERS",
                          "RESERVES",
                          "DRAWINGS",
                          "PLOT SALES",
                          "TRANSFER FEES",
                          "RENTAL INCOME",
                          "OTHER INCOME",
                          "ADMINISTRATION",
                          "DEVELOPMENT",
                          "BUILDING MATERIAL",
                          "FINANCE COSTS"};
// Percent of vouchers per kind, in the order JV, BP, BR, CP, CR.
constexpr quint32 KindWeights[] = {10, 25, 25, 20, 20, 0};

} // namespace

BookStats writeBook(qv::Connection& c, const BookPlan& plan)
{
    QElapsedTimer timer;
    timer.start();
    BookStats st;
    qv::Transaction tx(c);
    // One record of the trail for the whole generated book (the rows go in without the store).
    qv::AuditTrail(c).append(QStringLiteral("book generated"), {}, {}, {}, {});
    qv::VoucherStore store(c);
    quint32 rnd = 12345;
    auto next = [&rnd](quint32 n) {
        rnd = rnd * 1103515245u + 12345u;
        return (rnd >> 8) % n;
    };

    // The chart: control heads 1..5, sub-controls n.1..n.4, subsidiary account i under
    // sub-control (i - 1) % 20, so that the cash (i = 1) and the banks sit under 1.1 and 1.2.
    const QString acc = QStringLiteral("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode, BStatus, "
                                       "OpenBal) values (?, ?, ?, ?, ?, ?, ?) returning RowID");
    const QVariant noText(QMetaType::fromType<QString>());
    for (int h = 0; h < 5; ++h) {
        const QString head = QString::number(h + 1);
        c.insertReturningKey(acc, {head, QString::fromLatin1(Heads[h]), "HH", head, h + 1, noText, noText});
        for (int s = 0; s < 4; ++s)
            c.insertReturningKey(acc, {QStringLiteral("%1.%2").arg(head).arg(s + 1),
                                       QString::fromLatin1(SubHeads[h * 4 + s]), "HD", head, s + 1, noText, noText});
        // Classed as their titles say, for the balance sheet and the profit and loss account.
        c.execute(QStringLiteral("insert into AcClass (AcNodes, AcClass) values (?, ?)"),
                  {head, QString(QLatin1Char("ALEIX"[h]))});
    }
    // Openings: assets debit, liabilities credit, the first paid-up capital account (i = 9) takes
    // the balancing figure, so that they net to zero.
    std::vector<qint64> open(size_t(plan.accounts) + 1, 0);
    qint64 openSum = 0;
    for (int i = 1; i <= plan.accounts; ++i) {
        const int head = (i - 1) % 20 / 4;
        if ((head == 0 || head == 1) && next(10) < 6) {
            open[size_t(i)] = (head == 0 ? 1 : -1) * (100'000 + qint64(next(2'000'000)) * 13);
            openSum += open[size_t(i)];
        }
    }
    if (plan.accounts >= 9)
        open[9] -= openSum;
    QList<int> perSub(20, 0);
    QList<qint64> banks, parties;
    for (int i = 1; i <= plan.accounts; ++i) {
        const int sub = (i - 1) % 20;
        const bool bank = i % 50 == 2;
        const QString subCode = QStringLiteral("%1.%2").arg(sub / 4 + 1).arg(sub % 4 + 1);
        const int leaf = ++perSub[sub];
        const QString title = i == 1 ? QStringLiteral("CASH IN HAND")
                                     : QStringLiteral("%1 %2").arg(QString::fromLatin1(SubHeads[sub])).arg(leaf);
        const qint64 id = c.insertReturningKey(
            acc,
            {QStringLiteral("%1.%2").arg(subCode).arg(leaf), title, "DD", subCode, leaf, bank ? QVariant("B") : noText,
             open[size_t(i)] ? QVariant::fromValue(qv::Money(open[size_t(i)])) : QVariant(noText)});
        st.accounts << id;
        if (i == 1)
            st.cashAccount = id;
        else if (bank)
            banks << id;
        else
            parties << id;
    }
    if (banks.isEmpty() || parties.size() < 2)
        throw qv::DbError(QStringLiteral("The book needs at least 12 accounts."));

    std::array<qint64, 5> numbers{};
    for (const qv::VoucherKindInfo& k : qv::voucherKinds())
        numbers[size_t(k.kind)] = store.nextNumber(k.kind, 1);

    // From here on nothing else may run on the connection: a server's COPY is open.
    std::unique_ptr<RowWriter> out = rowWriter(c);
    const QString login = QStringLiteral("bench");
    const qint64 total = plan.detailRows;
    // Vouchers expected: 5.5 lines on average, 11 rows (two per line) or 6.5 (a cash row more).
    double rowsPerVoucher = 0;
    for (int k = 0; k < 5; ++k)
        rowsPerVoucher +=
            KindWeights[k] / 100.0 * (qv::voucherKinds()[size_t(k)].shape == qv::RowShape::Mirrored ? 11 : 6.5);
    const double expected = qMax(1.0, double(total) / rowsPerVoucher);
    while (st.detailRows < total) {
        const qint64 left = total - st.detailRows;
        qv::Voucher v;
        int lines = 1 + int(next(10));
        if (left <= 40) {
            // The last voucher makes the count exact: a journal of left/2 lines, or a cash
            // voucher of left-1 lines.
            v.kind = left % 2 == 0 ? qv::VoucherKind::JV : qv::VoucherKind::CP;
            lines = int(left % 2 == 0 ? left / 2 : left - 1);
        } else {
            const quint32 pick = next(100);
            int k = 0;
            for (quint32 acc = KindWeights[0]; pick >= acc; acc += KindWeights[++k]) {
            }
            v.kind = qv::VoucherKind(k);
        }
        const qv::VoucherKindInfo& kind = qv::voucherKind(v.kind);
        v.number = numbers[size_t(v.kind)]++;
        v.date = plan.from.addDays(qMin<qint64>(plan.days - 1, qint64(double(st.vouchers) * plan.days / expected)));
        v.party = QStringLiteral("PARTY %1").arg(next(1000));
        const qint64 contra =
            kind.shape == qv::RowShape::LinePlusCash ? st.cashAccount : banks[int(next(quint32(banks.size())))];
        for (int i = 0; i < lines; ++i) {
            qv::VoucherLine l;
            const qint64 party = parties[int(next(quint32(parties.size())))];
            if (!kind.contra) {
                l.drAc = party;
                l.crAc = parties[(parties.indexOf(party) + 1 + int(next(50))) % parties.size()];
            } else if (*kind.contra == qv::Side::Credit) {
                l.drAc = party, l.crAc = contra;
            } else {
                l.drAc = contra, l.crAc = party;
            }
            l.amount = qv::Money(100 + qint64(next(5'000'000)) * 7);
            l.cheque = kind.bankContra ? QString::number(100000 + next(900000)) : QString();
            l.narration = QString::fromLatin1(Narrations[next(8)]);
            if (next(4) == 0)
                l.fileNo = QString::number(next(10000));
            if (next(4) == 0)
                l.billNo = QString::number(next(10000));
            v.lines.push_back(std::move(l));
        }
        if (const QString why = qv::VoucherStore::refusal(v); !why.isEmpty())
            throw qv::DbError(why);
        const qv::Money sum = v.total();
        out->master({v.number, kind.code, v.date, v.party, QVariant::fromValue(sum), login});
        for (const qv::DetailRow& r : qv::VoucherStore::detailRows(v, sum)) {
            out->detail({v.number, kind.code, v.date, r.entryNo, r.acCode,
                         r.crAc ? QVariant(*r.crAc) : QVariant(QMetaType::fromType<qint64>()),
                         QVariant::fromValue(r.dr), QVariant::fromValue(r.cr), orNull(r.cheque), r.narration,
                         orNull(r.fileNo), orNull(r.billNo)});
            ++st.detailRows;
        }
        ++st.vouchers;
    }
    out->finish();
    out.reset();
    tx.commit();
    st.seconds = timer.elapsed() / 1000.0;
    return st;
}

std::unique_ptr<RowWriter> rowWriter(qv::Connection& c)
{
    if (c.backend() == qv::Backend::Postgres)
        return std::make_unique<CopyWriter>(c);
    return std::make_unique<InsertWriter>(c);
}

BenchLogin openBenchBook(qv::Connection& c, const QString& dataSource)
{
    qv::InitOptions o;
    o.dataSource = dataSource;
    o.user = QStringLiteral("bench");
    o.password = QStringLiteral("bench");
    o.lockPassword = QStringLiteral("lock");
    o.cost = qv::Logins::HashCost::Minimal;
    qv::Provision::init(o);
    c.setProperty(QStringLiteral("User ID"), o.user);
    c.setProperty(QStringLiteral("Password"), o.password);
    c.setProperty(QStringLiteral("Data Source"), o.dataSource);
    c.open();
    return {o.dataSource, o.user, o.password};
}

} // namespace qvb
