#include "vouchers/voucherlist.h"

#include <QSqlQuery>
#include <algorithm>

namespace qv {

namespace {
constexpr int Chunk = 500;            // numbers read again per statement
constexpr int WholeAgainAbove = 5000; // so many changed at once: the whole kind is read again
} // namespace

QString VoucherList::selectSql(const QString& where) const
{
    return QStringLiteral("SELECT m.VouNo, m.VouDate, m.PaidReceive, lower(m.PaidReceive), m.TotalAmount "
                          "FROM MasJV m WHERE m.VouStatus = ?%1 ORDER BY m.VouNo")
        .arg(where);
}

VoucherList::Entry VoucherList::read(QSqlQuery& q) const
{
    Entry e;
    e.number = q.value(0).toLongLong();
    const QDate d = q.value(1).toDate();
    e.day = d.isValid() ? d.toJulianDay() : 0;
    e.hasParty = !q.value(2).isNull();
    e.party = q.value(2).toString();
    e.folded = q.value(3).toString();
    e.total = m_c.money(q.value(4));
    return e;
}

void VoucherList::load()
{
    // The keys first: whatever is saved from here on is read again at the next search.
    QSqlQuery keys = m_c.query(QStringLiteral("SELECT (SELECT max(RowID) FROM MasJV), (SELECT max(RowID) FROM DetJV)"));
    if (keys.next()) {
        m_maxMaster = keys.value(0).toLongLong();
        m_maxDetail = keys.value(1).toLongLong();
    }
    QSqlQuery q = m_c.query(selectSql(QString()), {voucherKind(m_kind).code});
    std::vector<Entry> entries;
    entries.reserve(m_entries.size());
    while (q.next())
        entries.push_back(read(q));
    m_entries.swap(entries);
    m_pending.clear();
    m_loaded = true;
    m_indexed = false;
}

void VoucherList::sync()
{
    if (!m_loaded) {
        load();
        return;
    }
    QSqlQuery keys = m_c.query(QStringLiteral("SELECT (SELECT max(RowID) FROM MasJV), (SELECT max(RowID) FROM DetJV)"));
    const qint64 master = keys.next() ? keys.value(0).toLongLong() : 0;
    const qint64 detail = keys.isValid() ? keys.value(1).toLongLong() : 0;
    QList<qint64> numbers = m_pending;
    if (master != m_maxMaster || detail != m_maxDetail) {
        // A new voucher adds a master row; a saved one, new or changed, adds its detail rows.
        QSqlQuery q = m_c.query(QStringLiteral("SELECT VouNo FROM MasJV WHERE RowID > ? AND VouStatus = ? UNION "
                                               "SELECT VouNo FROM DetJV WHERE RowID > ? AND VouStatus = ?"),
                                {m_maxMaster, voucherKind(m_kind).code, m_maxDetail, voucherKind(m_kind).code});
        while (q.next())
            numbers << q.value(0).toLongLong();
        m_maxMaster = master;
        m_maxDetail = detail;
    }
    m_pending.clear();
    if (numbers.size() > WholeAgainAbove)
        load();
    else if (!numbers.isEmpty())
        reread(numbers);
}

void VoucherList::reread(const QList<qint64>& changed)
{
    QList<qint64> numbers = changed;
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    auto byNumber = [](const Entry& e, qint64 n) { return e.number < n; };
    for (qsizetype from = 0; from < numbers.size(); from += Chunk) {
        const QList<qint64> part = numbers.mid(from, Chunk);
        QVariantList params{voucherKind(m_kind).code};
        QStringList marks;
        for (qint64 n : part) {
            params << n;
            marks << QStringLiteral("?");
        }
        QSqlQuery q =
            m_c.query(selectSql(QStringLiteral(" AND m.VouNo IN (%1)").arg(marks.join(QLatin1Char(',')))), params);
        std::vector<Entry> found;
        while (q.next())
            found.push_back(read(q));
        auto f = found.begin();
        for (qint64 n : part) {
            const auto at = std::lower_bound(m_entries.begin(), m_entries.end(), n, byNumber);
            const bool listed = at != m_entries.end() && at->number == n;
            if (f != found.end() && f->number == n) {
                if (listed)
                    *at = std::move(*f);
                else
                    m_entries.insert(at, std::move(*f));
                ++f;
            } else if (listed) {
                m_entries.erase(at); // removed
            }
        }
    }
    m_indexed = false;
}

void VoucherList::refreshOnShow()
{
    sync();
    const qint64 count =
        m_c.scalar(QStringLiteral("SELECT count(*) FROM MasJV WHERE VouStatus = ?"), {voucherKind(m_kind).code})
            .toLongLong();
    if (count != qint64(m_entries.size()))
        load();
}

void VoucherList::index()
{
    m_numbers.clear();
    m_parties.clear();
    m_numberAt.resize(m_entries.size());
    m_partyAt.resize(m_entries.size());
    m_numbers.reserve(qsizetype(m_entries.size()) * 8);
    for (size_t i = 0; i < m_entries.size(); ++i) {
        m_numberAt[i] = m_numbers.size();
        m_numbers += '\0';
        m_numbers += QByteArray::number(m_entries[i].number);
    }
    qsizetype length = 0;
    for (const Entry& e : m_entries)
        length += e.folded.size() + 1;
    m_parties.reserve(length);
    for (size_t i = 0; i < m_entries.size(); ++i) {
        m_partyAt[i] = m_parties.size();
        m_parties += QChar(0);
        m_parties += m_entries[i].folded;
    }
    m_indexed = true;
}

QString VoucherList::fold(const QString& typed)
{
    // The embedded book's lower() is QString::toLower (db/sqlitefold.cpp); a server's depends on
    // its locale, so it is asked.
    if (m_c.backend() == Backend::Sqlite)
        return typed.toLower();
    if (typed != m_foldedFor || m_folded.isNull()) {
        m_folded = m_c.scalar(QStringLiteral("SELECT lower(CAST(? AS TEXT))"), {typed}).toString();
        m_foldedFor = typed;
    }
    return m_folded;
}

template <class Hit> std::vector<FoundVoucher> VoucherList::collect(qint64 after, int limit, Hit hit) const
{
    std::vector<FoundVoucher> out;
    size_t i = size_t(std::upper_bound(m_entries.begin(), m_entries.end(), after,
                                       [](qint64 n, const Entry& e) { return n < e.number; })
                      - m_entries.begin());
    while ((i = hit(i)) < m_entries.size()) {
        const Entry& e = m_entries[i];
        FoundVoucher& v = out.emplace_back();
        v.number = e.number;
        v.date = e.day ? QDate::fromJulianDay(e.day) : QDate();
        v.party = e.party;
        v.total = e.total;
        v.multi = e.multi > 0;
        if (limit > 0 && out.size() == size_t(limit))
            break;
        ++i;
    }
    return out;
}

// "Multi" of the vouchers found whose line count is not known yet, with the query's expression.
void VoucherList::readMulti(std::vector<FoundVoucher>& found)
{
    auto byNumber = [](const Entry& e, qint64 n) { return e.number < n; };
    std::vector<Entry*> unknown;
    for (const FoundVoucher& v : found) {
        Entry& e = *std::lower_bound(m_entries.begin(), m_entries.end(), v.number, byNumber);
        if (e.multi < 0)
            unknown.push_back(&e);
    }
    for (size_t from = 0; from < unknown.size(); from += Chunk) {
        QVariantList params{voucherKind(m_kind).code};
        QStringList marks;
        for (size_t i = from; i < qMin(unknown.size(), from + Chunk); ++i) {
            params << unknown[i]->number;
            marks << QStringLiteral("?");
            unknown[i]->multi = 0;
        }
        QSqlQuery q = m_c.query(QStringLiteral("SELECT m.VouNo FROM MasJV m WHERE m.VouStatus = ? AND m.VouNo IN "
                                               "(%1) AND %2 > 1")
                                    .arg(marks.join(QLatin1Char(',')), voucherLineCount(m_kind)),
                                params);
        while (q.next())
            std::lower_bound(m_entries.begin(), m_entries.end(), q.value(0).toLongLong(), byNumber)->multi = 1;
    }
    for (FoundVoucher& v : found)
        v.multi = std::lower_bound(m_entries.begin(), m_entries.end(), v.number, byNumber)->multi > 0;
}

std::vector<FoundVoucher> VoucherList::find(const VoucherCriterion& c, qint64 after, int limit)
{
    std::vector<FoundVoucher> found = search(c, after, limit);
    readMulti(found);
    return found;
}

std::vector<FoundVoucher> VoucherList::search(const VoucherCriterion& c, qint64 after, int limit)
{
    sync();
    if (!m_indexed)
        index();
    const size_t none = m_entries.size();
    // The entry whose text holds position `at`.
    auto owner = [](const std::vector<qint64>& starts, qint64 at) {
        return size_t(std::upper_bound(starts.begin(), starts.end(), at) - starts.begin()) - 1;
    };
    switch (c.by) {
    case VoucherCriterion::By::Number: {
        if (c.text.isEmpty())
            return collect(after, limit, [](size_t i) { return i; });
        // Digits only ever match: anything else (a letter, '%', a quote) is found in no number.
        bool plain = true;
        for (QChar ch : c.text)
            plain = plain && ch.unicode() > 0 && ch.unicode() < 128;
        if (!plain)
            return {};
        const QByteArray needle = c.text.toLatin1();
        return collect(after, limit, [&](size_t i) {
            if (i >= none)
                return none;
            const qsizetype at = m_numbers.indexOf(needle, m_numberAt[i]);
            return at < 0 ? none : owner(m_numberAt, at);
        });
    }
    case VoucherCriterion::By::Date: {
        const qint64 day = c.day.isValid() ? c.day.toJulianDay() : -1;
        return collect(after, limit, [&](size_t i) {
            while (i < none && m_entries[i].day != day)
                ++i;
            return i;
        });
    }
    case VoucherCriterion::By::Party: {
        if (c.text.isEmpty())
            return collect(after, limit, [&](size_t i) {
                while (i < none && !m_entries[i].hasParty)
                    ++i;
                return i;
            });
        const QString needle = fold(c.text);
        return collect(after, limit, [&](size_t i) {
            if (i >= none)
                return none;
            const qsizetype at = QStringView(m_parties).indexOf(QStringView(needle), m_partyAt[i]);
            return at < 0 ? none : owner(m_partyAt, at);
        });
    }
    }
    return {};
}

} // namespace qv
