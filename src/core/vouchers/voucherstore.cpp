#include "vouchers/voucherstore.h"

#include "vouchers/voucherwrites.h"

#include <tuple>

#include <QSqlQuery>

namespace qv {

namespace {

// NUMERIC(18,2) holds 16 digits before the point; TotalAmount has the same type, so a voucher's
// total is bounded by the same figure.
constexpr qint64 MaxCents = 999'999'999'999'999'999LL;
// EntryNo is 16-bit; a cash voucher needs one more for its cash row.
constexpr size_t MaxLines = 32766;

QVariant nullable(const std::optional<QString>& t)
{
    return t ? QVariant(*t) : QVariant(QMetaType::fromType<QString>());
}

std::optional<QString> nullIfEmpty(const QString& t)
{
    return t.isEmpty() ? std::nullopt : std::optional<QString>(t);
}

// An empty text stays an empty text: a null QString would be bound as null.
QString keepEmpty(const QString& t)
{
    return t.isNull() ? QStringLiteral("") : t;
}

QVariant money(Money m)
{
    return QVariant::fromValue(m);
}

QString text(const QVariant& v)
{
    return v.isNull() ? QString() : v.toString();
}

} // namespace

Money Voucher::total() const
{
    qint64 sum = 0;
    for (const VoucherLine& l : lines)
        if (__builtin_add_overflow(sum, l.amount.cents, &sum))
            throw DbError(
                QStringLiteral("The total of the lines is more than the largest amount a voucher can hold (%1).")
                    .arg(displayAmount(VoucherStore::maxAmount())));
    return Money(sum);
}

Money VoucherStore::maxAmount()
{
    return Money(MaxCents);
}

namespace {
// Control characters cannot be stored on every backend (PostgreSQL refuses NUL) and are never
// what a user meant to keep; a tab is kept, and a narration may hold line breaks.
QString controlCharacter(const QString& text, const QString& what, bool lineBreaks)
{
    for (QChar c : text)
        if (c.unicode() < 0x20 && c != QLatin1Char('\t') && !(lineBreaks && c == QLatin1Char('\n')))
            return QStringLiteral("%1 contains a control character (code %2), which cannot be stored. Please remove "
                                  "it and save again.")
                .arg(what)
                .arg(c.unicode());
    return {};
}
} // namespace

QString VoucherStore::refusal(const Voucher& v)
{
    const QString tooLarge =
        QStringLiteral("is more than the largest amount a voucher can hold (%1).").arg(displayAmount(maxAmount()));
    if (v.lines.empty())
        return QStringLiteral("A voucher needs at least one line.");
    if (v.lines.size() > MaxLines)
        return QStringLiteral("A voucher holds at most %1 lines.").arg(MaxLines);
    if (!v.date.isValid())
        return QStringLiteral("The voucher has no date.");
    if (v.number < 0)
        return QStringLiteral("The voucher number %1 is not a valid number.").arg(v.number);
    if (const QString bad = controlCharacter(v.party, QStringLiteral("The party name"), false); !bad.isEmpty())
        return bad;
    const VoucherKindInfo& kind = voucherKind(v.kind);
    qint64 sum = 0;
    for (size_t i = 0; i < v.lines.size(); ++i) {
        const VoucherLine& l = v.lines[i];
        const int n = int(i) + 1;
        const QString where = QStringLiteral(" of line %1").arg(n);
        for (const auto& [text, what, lines] : {std::tuple{l.cheque, QStringLiteral("The cheque number"), false},
                                                std::tuple{l.narration, QStringLiteral("The narration"), true},
                                                std::tuple{l.fileNo, QStringLiteral("The file number"), false},
                                                std::tuple{l.billNo, QStringLiteral("The bill number"), false}})
            if (const QString bad = controlCharacter(text, what + where, lines); !bad.isEmpty())
                return bad;
        if (l.drAc <= 0)
            return QStringLiteral("Line %1 has no debit account.").arg(n);
        if (l.crAc <= 0)
            return QStringLiteral("Line %1 has no credit account.").arg(n);
        if (l.drAc == l.crAc)
            return QStringLiteral("Line %1 has the same account on both sides.").arg(n);
        if (l.amount.cents <= 0)
            return QStringLiteral("The amount of line %1 must be more than 0.").arg(n);
        if (l.amount > maxAmount())
            return QStringLiteral("The amount %1 of line %2 %3").arg(displayAmount(l.amount)).arg(n).arg(tooLarge);
        // Both operands are at most MaxCents, so the sum cannot wrap before the check.
        sum += l.amount.cents;
        if (sum > MaxCents)
            return QStringLiteral("The total of the lines %1").arg(tooLarge);
        if (kind.shape == RowShape::LinePlusCash) {
            const auto cash = [&](const VoucherLine& x) { return *kind.contra == Side::Credit ? x.crAc : x.drAc; };
            if (cash(l) != cash(v.lines.front()))
                return QStringLiteral("Line %1 names another cash account than the first line.").arg(n);
        }
    }
    return {};
}

std::vector<DetailRow> VoucherStore::detailRows(const Voucher& v, Money total)
{
    const VoucherKindInfo& kind = voucherKind(v.kind);
    std::vector<DetailRow> rows;
    rows.reserve(v.lines.size() * 2 + 1);
    int entry = 0;
    for (const VoucherLine& l : v.lines) {
        DetailRow r;
        r.entryNo = ++entry;
        r.cheque = keepEmpty(l.cheque);
        r.narration = keepEmpty(l.narration);
        r.fileNo = nullIfEmpty(l.fileNo);
        r.billNo = nullIfEmpty(l.billNo);
        if (kind.shape == RowShape::Mirrored) {
            // Each side of the line posts to its account and names the other one.
            DetailRow debit = r, credit = r;
            debit.acCode = l.drAc;
            debit.crAc = l.crAc;
            debit.dr = l.amount;
            credit.acCode = l.crAc;
            credit.crAc = l.drAc;
            credit.cr = l.amount;
            rows.push_back(std::move(debit));
            rows.push_back(std::move(credit));
        } else if (*kind.contra == Side::Credit) { // cash payment: the party is debited
            r.acCode = l.drAc;
            r.crAc = l.crAc;
            r.dr = l.amount;
            rows.push_back(std::move(r));
        } else { // cash receive: the party is credited
            r.acCode = l.crAc;
            r.crAc = l.drAc;
            r.cr = l.amount;
            rows.push_back(std::move(r));
        }
    }
    if (kind.shape == RowShape::LinePlusCash) {
        // The cash row: the total against the cash account, with the first line's narration.
        const VoucherLine& first = v.lines.front();
        DetailRow cash;
        cash.entryNo = entry + 1;
        cash.narration = keepEmpty(first.narration);
        if (*kind.contra == Side::Credit) {
            cash.acCode = first.crAc;
            cash.cr = total;
        } else {
            cash.acCode = first.drAc;
            cash.dr = total;
        }
        rows.push_back(std::move(cash));
    }
    return rows;
}

std::optional<KindSetup> VoucherStore::setup(VoucherKind k)
{
    QSqlQuery q = m_c.query(
        QStringLiteral("select v.VouNo, v.AcCode, v.Fix, v.AcStatus, "
                       "(select a.AcName from Accounts a where a.AcStatus = 'DD' and a.RowID = v.AcCode) as AcTitle "
                       "from VouSetting v where v.VouStatus = ? order by v.RowID"),
        {voucherKind(k).code});
    if (!q.next())
        return std::nullopt;
    KindSetup s;
    s.startNo = q.value(0).toLongLong();
    s.acCode = text(q.value(1));
    s.fix = text(q.value(2)) == QLatin1String("Y");
    s.acStatus = text(q.value(3));
    if (!q.value(4).isNull())
        s.acTitle = q.value(4).toString();
    return s;
}

std::optional<Side> KindSetup::side() const
{
    if (acStatus == QLatin1String("DR"))
        return Side::Debit;
    if (acStatus == QLatin1String("CR"))
        return Side::Credit;
    return std::nullopt;
}

std::optional<qint64> VoucherStore::highestNumber(VoucherKind k)
{
    const QVariant v =
        m_c.scalar(QStringLiteral("select max(VouNo) from MasJV where VouStatus = ?"), {voucherKind(k).code});
    return v.isNull() ? std::nullopt : std::optional<qint64>(v.toLongLong());
}

qint64 VoucherStore::nextNumber(VoucherKind k, qint64 startNo)
{
    const auto high = highestNumber(k);
    if (!high)
        return startNo;
    qint64 next = 0;
    if (__builtin_add_overflow(*high, qint64(1), &next)) {
        const VoucherKindInfo& kind = voucherKind(k);
        throw DbError(QStringLiteral("The numbering of the %1s is exhausted: %2%3 is the largest number a voucher can "
                                     "have, so no new voucher of this kind can be numbered.")
                          .arg(kind.caption, kind.prefix)
                          .arg(*high));
    }
    return next;
}

std::optional<qint64> VoucherStore::insertMaster(const Voucher& v, qint64 number, const QString& login, Money total)
{
    // A number another station holds is not inserted (the unique (VouStatus, VouNo) makes the
    // insert do nothing); the caller allocates again.
    std::optional<qint64> rowId;
    m_c.eachRow(QStringLiteral("insert into MasJV (VouNo, VouStatus, VouDate, PaidReceive, TotalAmount, Login) "
                               "values (?, ?, ?, ?, ?, ?) on conflict (VouStatus, VouNo) do nothing "
                               "returning RowID"),
                {number, voucherKind(v.kind).code, v.date, keepEmpty(v.party), money(total), login}, [&](QSqlQuery& q) {
                    if (q.next())
                        rowId = q.value(0).toLongLong();
                });
    return rowId;
}

void VoucherStore::writeLines(const Voucher& v, qint64 number, Money total)
{
    const QString sql = QStringLiteral(
        "insert into DetJV (VouNo, VouStatus, VouDate, EntryNo, AcCode, CrAc, DrAmt, CrAmt, ChecqNo, Naration, "
        "FileNo, BillNo) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const QString code = voucherKind(v.kind).code;
    for (const DetailRow& r : detailRows(v, total))
        m_c.execute(sql, {number, code, v.date, r.entryNo, r.acCode,
                          r.crAc ? QVariant(*r.crAc) : QVariant(QMetaType::fromType<qint64>()), money(r.dr),
                          money(r.cr), nullable(r.cheque), r.narration, nullable(r.fileNo), nullable(r.billNo)});
}

namespace {
// The advisory-lock class of voucher numbering ("QV"); the kind is the lock's second key.
constexpr int NumberingLock = 0x5156;
} // namespace

SaveResult VoucherStore::save(const Voucher& v, bool isNew, const QString& login)
{
    if (const QString why = refusal(v); !why.isEmpty())
        throw DbError(why);
    const Money total = v.total();
    const QString code = voucherKind(v.kind).code;
    Transaction tx(m_c);
    SaveResult result{SaveResult::Outcome::Saved, v.number};
    if (isNew && m_c.backend() == Backend::Postgres) {
        // New vouchers of one kind take their turn, as BEGIN IMMEDIATE makes them on the
        // embedded file: otherwise a busy station can keep losing each number it tries to the
        // others and give up. Released with the transaction.
        m_c.scalar(QStringLiteral("select pg_advisory_xact_lock(cast(? as integer), cast(? as integer))"),
                   {NumberingLock, int(v.kind)});
    }
    VoucherWrites writes(m_c);
    writes.before(
        {isNew ? VoucherChange::Action::Saved : VoucherChange::Action::Changed, code, v.number, v.rowId, {}, v.date});
    if (isNew) {
        int attempt = 0;
        std::optional<qint64> rowId;
        while (!(rowId = insertMaster(v, result.number, login, total))) {
            // Taken meanwhile: the next free number, read in this transaction, which by now sees
            // the other station's voucher.
            if (++attempt == MaxAttempts)
                throw DbError(QStringLiteral("No free voucher number was found: other stations kept taking them. "
                                             "Please save again."));
            result.number = nextNumber(v.kind, v.number);
            result.outcome = SaveResult::Outcome::Renumbered;
        }
        result.rowId = *rowId;
    } else {
        QSqlQuery changed =
            m_c.query(QStringLiteral("update MasJV set VouDate = ?, PaidReceive = ?, TotalAmount = ?, "
                                     "Login = ? where RowID = ? and VouStatus = ? and VouNo = ? returning RowID"),
                      {v.date, keepEmpty(v.party), money(total), login, v.rowId, code, v.number});
        if (!changed.next()) {
            changed.finish();
            tx.commit(); // nothing was written; an outer transaction goes on
            return {SaveResult::Outcome::Gone, v.number};
        }
        result.rowId = changed.value(0).toLongLong();
        changed.finish();
        m_c.execute(QStringLiteral("delete from DetJV where VouStatus = ? and VouNo = ?"), {code, v.number});
    }
    writeLines(v, result.number, total);
    writes.after(result.number);
    try {
        tx.commit();
    } catch (const DbError& e) {
        if (!e.isCommitUnknown())
            throw;
        return settleLostCommit(v, isNew, result);
    }
    return result;
}

std::optional<Voucher> VoucherStore::open(VoucherKind k, qint64 number)
{
    const VoucherKindInfo& kind = voucherKind(k);
    QSqlQuery m = m_c.query(QStringLiteral("select VouDate, PaidReceive, ChecqNo, RowID from MasJV "
                                           "where VouStatus = ? and VouNo = ?"),
                            {kind.code, number});
    if (!m.next())
        return std::nullopt;
    Voucher v;
    v.kind = k;
    v.number = number;
    v.rowId = m.value(3).toLongLong();
    v.date = m.value(0).toDate();
    v.party = text(m.value(1));
    v.masterCheque = text(m.value(2));
    m.finish();

    // One row per line: the party's side. For the kinds whose lines are credits (bank and cash
    // receive) the row posts to the party and names the bank or cash account: the sides are put
    // back for the grid.
    const bool debitShown = kind.shownSide == Side::Debit;
    QSqlQuery q = m_c.query(
        QStringLiteral("select d.AcCode, d.CrAc, a.AcName, c.AcName, d.DrAmt, d.CrAmt, d.ChecqNo, d.Naration, "
                       "d.FileNo, d.BillNo from DetJV d left join Accounts a on a.RowID = d.AcCode "
                       "left join Accounts c on c.RowID = d.CrAc "
                       "where d.VouStatus = ? and d.VouNo = ? and d.%1 > 0 order by d.EntryNo, d.RowID")
            .arg(debitShown ? QLatin1String("DrAmt") : QLatin1String("CrAmt")),
        {kind.code, number});
    while (q.next()) {
        VoucherLine l;
        const qint64 ac = q.value(0).toLongLong(), contra = q.value(1).toLongLong();
        const QString acName = text(q.value(2)), contraName = text(q.value(3));
        if (debitShown) {
            l.drAc = ac, l.drName = acName, l.crAc = contra, l.crName = contraName;
        } else {
            l.drAc = contra, l.drName = contraName, l.crAc = ac, l.crName = acName;
        }
        l.amount = m_c.moneyOrZero(q.value(debitShown ? 4 : 5));
        l.cheque = text(q.value(6));
        l.narration = text(q.value(7));
        l.fileNo = text(q.value(8));
        l.billNo = text(q.value(9));
        v.lines.push_back(std::move(l));
    }
    return v;
}

bool VoucherStore::remove(VoucherKind k, qint64 number, qint64 rowId)
{
    const QString code = voucherKind(k).code;
    Transaction tx(m_c);
    VoucherWrites writes(m_c);
    writes.before({VoucherChange::Action::Deleted, code, number, rowId, {}, {}});
    const int n =
        rowId > 0 ? m_c.execute(QStringLiteral("delete from MasJV where RowID = ? and VouStatus = ? and "
                                               "VouNo = ?"),
                                {rowId, code, number})
                  : m_c.execute(QStringLiteral("delete from MasJV where VouStatus = ? and VouNo = ?"), {code, number});
    // When the opened voucher is gone, the number's detail rows are another voucher's (or
    // nobody's) and stay.
    if (n > 0 || rowId == 0)
        m_c.execute(QStringLiteral("delete from DetJV where VouStatus = ? and VouNo = ?"), {code, number});
    if (n > 0)
        writes.after();
    tx.commit();
    return n > 0;
}

int VoucherStore::partyWidth()
{
    return m_c.columnWidth(QStringLiteral("MasJV"), QStringLiteral("PaidReceive"));
}

int VoucherStore::numberWidth()
{
    // VouNo is a whole number without a declared width: the digits of the largest 64-bit
    // number, which a stored voucher may hold (a shorter box would cut its number when shown).
    const int w = m_c.columnWidth(QStringLiteral("MasJV"), QStringLiteral("VouNo"));
    return w > 0 ? w : 19;
}

int VoucherStore::narrationWidth()
{
    return m_c.columnWidth(QStringLiteral("DetJV"), QStringLiteral("Naration"));
}

int VoucherStore::chequeWidth()
{
    return m_c.columnWidth(QStringLiteral("DetJV"), QStringLiteral("ChecqNo"));
}

} // namespace qv
