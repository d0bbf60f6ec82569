#include "transfer/bookimport.h"

#include "masters/accountclasses.h"
#include "masters/accountcodes.h"
#include "masters/accountstore.h"
#include "transfer/accountplan_p.h"
#include "transfer/importread_p.h"
#include "vouchers/voucherstore.h"

#include <QFileInfo>
#include <QSet>
#include <QSqlQuery>

namespace qv::imp {

using namespace detail;

std::optional<Format> formatByName(const QString& name)
{
    if (name == QLatin1String("accounts-csv"))
        return Format::AccountsCsv;
    if (name == QLatin1String("vouchers-csv"))
        return Format::VouchersCsv;
    if (name == QLatin1String("ledger"))
        return Format::Ledger;
    return std::nullopt;
}

QString pairingRule()
{
    return QStringLiteral(
        "A journal transaction becomes one voucher. Its postings are paired in the order written: the first "
        "debit with the first credit, for the smaller of the two amounts; the posting used up gives way to the "
        "next of its side, and the rest of the other is paired on. Each pair is one line (debit account, credit "
        "account, amount); its narration is the debit posting's comment (or the credit's). A description that "
        "starts with a voucher label (\"BP-12 party\") keeps that kind and number; a cash voucher's postings are "
        "its lines, then the cash posting.");
}

qint64 ImportPlan::voucherCount() const
{
    qint64 n = 0;
    for (qint64 v : vouchers)
        n += v;
    return n;
}

int ImportPlan::newAccounts() const
{
    return int(std::count_if(accounts.begin(), accounts.end(), [](const PlannedAccount& a) { return !a.exists; }));
}

QStringList ImportPlan::describe() const
{
    QStringList out;
    out << QStringLiteral("Accounts: %1 new, %2 in the book already (left as they are)")
               .arg(newAccounts())
               .arg(accounts.size() - newAccounts());
    for (auto it = classes.cbegin(); it != classes.cend(); ++it)
        out << QStringLiteral("Class of %1: %2").arg(it.key(), AccountClasses::name(*it));
    QStringList kinds;
    for (const VoucherKindInfo& k : voucherKinds())
        kinds << QStringLiteral("%1 %2").arg(k.code).arg(vouchers.value(k.code));
    out << QStringLiteral("Vouchers: %1 (%2), %3 lines")
               .arg(voucherCount())
               .arg(kinds.join(QStringLiteral(", ")))
               .arg(lines);
    for (auto it = skipped.cbegin(); it != skipped.cend(); ++it)
        out << QStringLiteral("Skipped, in the book already: %1 %2").arg(*it).arg(it.key());
    for (const PlannedAccount& a : accounts) {
        QString line = QStringLiteral("  %1 %2 %3 %4")
                           .arg(a.exists ? QStringLiteral("kept") : QStringLiteral("new "), a.status,
                                a.code.leftJustified(10), a.title);
        if (a.bank)
            line += QStringLiteral(" (bank)");
        if (a.opening)
            line += QStringLiteral(", opening %1 %2")
                        .arg(displayAmount(Money(std::abs(a.opening->cents))),
                             a.opening->cents < 0 ? QStringLiteral("Cr") : QStringLiteral("Dr"));
        out << line;
    }
    if (!totals.isEmpty())
        out << QStringLiteral("Totals per account (debits, credits):");
    for (auto it = totals.cbegin(); it != totals.cend(); ++it)
        out << QStringLiteral("  %1 Dr %2 Cr %3")
                   .arg(it.key().leftJustified(10), displayAmount(it->first), displayAmount(it->second));
    if (!mapping.isEmpty())
        out << QStringLiteral("Mapping (journal name = account):");
    for (const auto& [name, target] : mapping)
        out << QStringLiteral("  %1 = %2").arg(name, target);
    return out;
}

namespace {

void readFile(Format f, const QString& file, const Events& e)
{
    switch (f) {
    case Format::AccountsCsv:
        return readAccountsCsv(file, e);
    case Format::VouchersCsv:
        return readVouchersCsv(file, e);
    case Format::Ledger:
        return readLedger(file, e);
    }
}

// The first reading: the accounts placed, every voucher checked; the codes of journal names.
struct Planning {
    Planning(Connection& c, const ImportOptions& o)
        : accounts(c)
        , options(o)
    {
        QSqlQuery q = c.query(QStringLiteral("select VouStatus, VouNo from MasJV"));
        while (q.next())
            inBook.insert(q.value(0).toString().trimmed() + QString::number(q.value(1).toLongLong()));
    }
    AccountPlanner accounts;
    const ImportOptions& options;
    QSet<QString> inBook, inFile; // "JV12"
    QHash<QString, QPair<Money, Money>> totals;
    ImportPlan plan;

    QString code(const QString& key, int line)
    {
        if (options.format == Format::Ledger)
            return accounts.placeName(key, line);
        if (!accounts.isSubsidiary(key))
            throw ImportError(line, 0,
                              QStringLiteral("The book has no subsidiary account %1 (import the chart first, with "
                                             "--format accounts-csv).")
                                  .arg(key));
        return key;
    }

    void voucher(RawVoucher&& v)
    {
        const VoucherKindInfo& k = voucherKind(v.kind);
        if (v.number > 0 && !options.renumber) {
            const QString key = k.code + QString::number(v.number);
            if (inFile.contains(key))
                throw ImportError(v.line, 0, QStringLiteral("%1%2 is in the file twice.").arg(k.prefix).arg(v.number));
            inFile.insert(key);
            if (inBook.contains(key)) {
                if (!options.skipExisting)
                    throw ImportError(
                        v.line, 0,
                        QStringLiteral("The book holds %1%2 already (--skip-existing leaves such vouchers "
                                       "out, --renumber gives them new numbers).")
                            .arg(k.prefix)
                            .arg(v.number));
                ++plan.skipped[k.code];
                return;
            }
        }
        // What the store would refuse, refused here with the line: the accounts stand in as
        // numbers that differ where the codes do.
        Voucher check;
        check.kind = v.kind;
        check.number = std::max<qint64>(v.number, 1);
        check.date = v.date;
        check.party = v.party;
        QHash<QString, qint64> ids;
        auto id = [&ids](const QString& c) { return *ids.insert(c, ids.value(c, ids.size() + 1)); };
        for (const RawLine& l : v.lines) {
            const QString dr = code(l.dr, v.line), cr = code(l.cr, v.line);
            check.lines.push_back({id(dr), {}, id(cr), {}, l.amount, l.cheque, l.narration, l.fileNo, l.billNo});
            auto& t = totals[dr];
            t.first = Money(t.first.cents + l.amount.cents);
            auto& u = totals[cr];
            u.second = Money(u.second.cents + l.amount.cents);
        }
        if (const QString why = VoucherStore::refusal(check); !why.isEmpty())
            throw ImportError(v.line, 0, QStringLiteral("%1%2: %3").arg(k.prefix).arg(v.number).arg(why));
        ++plan.vouchers[k.code];
        plan.lines += qint64(v.lines.size());
    }

    void account(const FileAccount& a)
    {
        if (options.format == Format::AccountsCsv) {
            accounts.ensure(a.key, a.title, a.line);
            if (a.opening || a.bank) {
                if (!accounts.isSubsidiary(a.key))
                    throw ImportError(
                        a.line, 0,
                        QStringLiteral("%1 is a head: only subsidiary accounts hold an opening balance or "
                                       "the bank flag.")
                            .arg(a.key));
                accounts.opening(a.key, a.opening.value_or(Money()), {}, a.bank, a.line);
            }
            return;
        }
        if (a.opening) {
            accounts.opening(accounts.placeName(a.key, a.line), *a.opening, a.openDate, false, a.line);
            return;
        }
        accounts.declare(a.key, a.line);
        if (!a.cls.isNull() && !a.key.contains(QLatin1Char(':')))
            accounts.classify(a.key.section(QLatin1Char(' '), 0, 0), a.cls, a.line);
    }
};

} // namespace

ImportPlan planImport(Connection& c, const QString& file, const ImportOptions& o)
{
    Planning p(c, o);
    if (!o.mappingFile.isEmpty())
        p.accounts.readMapping(o.mappingFile);
    bool any = false;
    readFile(o.format, file,
             Events{[&](const FileAccount& a) { any = true, p.account(a); },
                    [&](RawVoucher&& v) { any = true, p.voucher(std::move(v)); }});
    if (!any)
        throw ImportError(1, 0, QStringLiteral("The file holds no account and no voucher."));
    ImportPlan plan = p.accounts.finish();
    plan.vouchers = p.plan.vouchers;
    plan.skipped = p.plan.skipped;
    plan.lines = p.plan.lines;
    for (auto it = p.totals.cbegin(); it != p.totals.cend(); ++it)
        plan.totals.insert(it.key() + QLatin1Char(' ') + p.accounts.titleOf(it.key()), *it);
    return plan;
}

namespace {
// The one transaction of an import changes far more pages than the embedded file's usual page
// cache holds; without room they are written out and read back again and again before the
// commit. The usual sizes come back afterwards.
//
// Each line's insert also keeps a statement journal (its triggers keep the month sums, and its
// checks may refuse it halfway). Once one statement's journal outgrows its memory, SQLite keeps
// it as a temporary file for the rest of the transaction, and every later statement writes its
// pages there: temporary storage in memory keeps those copies out of the file system. It can only
// be changed outside a transaction, and changing it drops the session's work tables, which
// reports create again when they need them; a connection that cannot change it imports as it is.
class ImportSettings {
public:
    explicit ImportSettings(Connection& c)
        : m_c(c)
    {
        if (c.backend() != Backend::Sqlite)
            return;
        m_before = c.scalar(QStringLiteral("PRAGMA cache_size"));
        c.execute(QStringLiteral("PRAGMA cache_size = -65536")); // 64 MB
        if (c.inTransaction())
            return;
        const QVariant store = c.scalar(QStringLiteral("PRAGMA temp_store"));
        try {
            c.execute(QStringLiteral("PRAGMA temp_store = MEMORY"));
            m_storeBefore = store;
        } catch (const DbError&) {
            // A report still reading a work table; the import goes on with the file.
        }
    }
    ~ImportSettings()
    {
        // Each on its own: a lost book is reported by the work that failed.
        for (const auto& [pragma, before] : {std::pair{"temp_store", m_storeBefore}, {"cache_size", m_before}}) {
            if (!before.isValid())
                continue;
            try {
                m_c.execute(QStringLiteral("PRAGMA %1 = %2").arg(QLatin1String(pragma)).arg(before.toLongLong()));
            } catch (const DbError&) {
            }
        }
    }
    ImportSettings(const ImportSettings&) = delete;
    ImportSettings& operator=(const ImportSettings&) = delete;

private:
    Connection& m_c;
    QVariant m_before;
    QVariant m_storeBefore;
};
} // namespace

ImportResult runImport(Connection& c, const QString& file, const ImportOptions& o, const QString& login)
{
    ImportResult result{planImport(c, file, o)};
    const ImportPlan& plan = result.plan;
    const QDateTime stamp = QFileInfo(file).lastModified();
    const ImportSettings settings(c);
    Transaction tx(c);
    AccountStore store(c);
    QHash<QString, qint64> rowIds;
    for (const PlannedAccount& a : plan.accounts) {
        if (a.exists)
            continue;
        SubsidiaryInput in;
        in.title = a.title;
        in.openDate = a.openDate;
        in.bStatus = a.bank ? QStringLiteral("B") : QString();
        if (a.opening)
            in.fields.append({QStringLiteral("OpenBal"), plainAmount(*a.opening)});
        const qint64 id = store.addWithCode(a.code, a.title, a.status == accounts::Subsidiary ? &in : nullptr);
        if (id <= 0)
            throw DbError(QStringLiteral("The account code %1 was taken by another station meanwhile. Nothing was "
                                         "imported; please import again.")
                              .arg(a.code));
        ++result.accounts;
    }
    for (auto it = plan.classes.cbegin(); it != plan.classes.cend(); ++it)
        AccountClasses(c).set(it.key(), *it);
    QSqlQuery q =
        c.query(QStringLiteral("select AcNodes, RowID from Accounts where AcStatus = ?"), {accounts::Subsidiary});
    while (q.next())
        rowIds.insert(q.value(0).toString().trimmed(), q.value(1).toLongLong());
    q.finish();

    if (o.format != Format::AccountsCsv && plan.voucherCount() > 0) {
        // The second reading writes what the first checked; the journal names' codes are the
        // first reading's, kept by the planner.
        Planning names(c, o);
        if (!o.mappingFile.isEmpty())
            names.accounts.readMapping(o.mappingFile);
        VoucherStore vouchers(c);
        c.innerLevelsWithoutSavepoints(); // any failure ends the whole import
        QHash<VoucherKind, qint64> next;
        const qint64 total = plan.voucherCount();
        readFile(
            o.format, file,
            Events{[&](const FileAccount& a) {
                       if (o.format == Format::Ledger)
                           names.account(a); // places the names in the same order as before
                   },
                   [&](RawVoucher&& v) {
                       const VoucherKindInfo& k = voucherKind(v.kind);
                       if (v.number > 0 && !o.renumber && names.inBook.contains(k.code + QString::number(v.number)))
                           return; // skipped (the plan refused it otherwise)
                       Voucher w;
                       w.kind = v.kind;
                       w.date = v.date;
                       w.party = v.party;
                       if (v.number > 0 && !o.renumber) {
                           w.number = v.number;
                       } else {
                           if (!next.contains(v.kind)) {
                               const auto setup = vouchers.setup(v.kind);
                               next.insert(v.kind, vouchers.nextNumber(v.kind, setup ? setup->startNo : 1));
                           }
                           w.number = next[v.kind]++;
                       }
                       for (const RawLine& l : v.lines)
                           w.lines.push_back({rowIds.value(names.code(l.dr, v.line)),
                                              {},
                                              rowIds.value(names.code(l.cr, v.line)),
                                              {},
                                              l.amount,
                                              l.cheque,
                                              l.narration,
                                              l.fileNo,
                                              l.billNo});
                       const SaveResult r = vouchers.save(w, true, login);
                       if (r.outcome != SaveResult::Outcome::Saved)
                           throw DbError(QStringLiteral("%1%2 was taken by another station meanwhile. Nothing was "
                                                        "imported; please import again.")
                                             .arg(k.prefix)
                                             .arg(w.number));
                       ++result.vouchers;
                       if (o.progress && result.vouchers % o.progressEvery == 0 && !o.progress(result.vouchers, total))
                           throw DbError(QStringLiteral("The import was stopped; nothing was imported."));
                   }});
        if (result.vouchers != total || QFileInfo(file).lastModified() != stamp)
            throw DbError(QStringLiteral("The file changed while it was being imported. Nothing was imported."));
    }
    tx.commit();
    return result;
}

} // namespace qv::imp
