// The two CSV formats: RFC 4180 records, the chart's rows, and vouchers in the store's row shapes.
#include "transfer/importread_p.h"

#include "vouchers/voucherkinds.h"

#include <QHash>
#include <QRegularExpression>

namespace qv::imp {

namespace detail {

namespace {

// RFC 4180 records from the lines; a quoted field may hold line breaks. Fields are numbered
// from 1 in the errors.
class CsvRecords {
public:
    explicit CsvRecords(const QString& path)
        : m_lines(path)
    {
    }
    bool next(QStringList* fields)
    {
        QString text;
        if (!m_lines.next(&text))
            return false;
        m_start = m_lines.number();
        fields->clear();
        QString field;
        bool quoted = false, wasQuoted = false;
        for (qsizetype i = 0;; ++i) {
            if (i == text.size()) {
                if (!quoted)
                    break;
                QString more;
                if (!m_lines.next(&more))
                    throw ImportError(m_start, int(fields->size()) + 1,
                                      QStringLiteral("A quoted field is not closed before the end of the file."));
                field += QLatin1Char('\n');
                text = more, i = -1;
                continue;
            }
            const QChar ch = text[i];
            if (quoted) {
                if (ch == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"'))
                    field += ch, ++i;
                else if (ch == QLatin1Char('"'))
                    quoted = false;
                else
                    field += ch;
            } else if (ch == QLatin1Char(',')) {
                *fields << field, field.clear(), wasQuoted = false;
            } else if (ch == QLatin1Char('"')) {
                if (!field.isEmpty() || wasQuoted)
                    throw ImportError(m_lines.number(), int(fields->size()) + 1,
                                      QStringLiteral("A quote inside a field that is not quoted (write \"\" within a "
                                                     "quoted field)."));
                quoted = wasQuoted = true;
            } else {
                if (wasQuoted)
                    throw ImportError(m_lines.number(), int(fields->size()) + 1,
                                      QStringLiteral("Text after the closing quote of a field."));
                field += ch;
            }
        }
        *fields << field;
        return true;
    }
    int line() const { return m_start; }

private:
    TextLines m_lines;
    int m_start = 0;
};

// The header's columns by name (letter case ignored); unknown or repeated names are refused.
QHash<QString, int> readHeader(CsvRecords& in, const QStringList& known, const QStringList& required)
{
    QStringList head;
    if (!in.next(&head))
        throw ImportError(1, 0, QStringLiteral("The file is empty."));
    QHash<QString, int> cols;
    for (int i = 0; i < head.size(); ++i) {
        const QString name = head[i].trimmed();
        const auto it = std::find_if(known.begin(), known.end(),
                                     [&](const QString& k) { return k.compare(name, Qt::CaseInsensitive) == 0; });
        if (it == known.end())
            throw ImportError(1, i + 1,
                              QStringLiteral("\"%1\" is not a column of this format (the columns are %2).")
                                  .arg(name, known.join(QStringLiteral(", "))));
        if (cols.contains(*it))
            throw ImportError(1, i + 1, QStringLiteral("The column %1 is named twice.").arg(*it));
        cols.insert(*it, i);
    }
    for (const QString& r : required)
        if (!cols.contains(r))
            throw ImportError(1, 0,
                              QStringLiteral("The header has no column %1 (needed: %2).")
                                  .arg(r, required.join(QStringLiteral(", "))));
    return cols;
}

struct Row {
    const QStringList& fields;
    const QHash<QString, int>& cols;
    int line;
    QString operator()(const QString& name) const
    {
        const int i = cols.value(name, -1);
        return i >= 0 && i < fields.size() ? fields[i] : QString();
    }
    int col(const QString& name) const { return cols.value(name, -1) + 1; }
    [[noreturn]] void refuse(const QString& name, const QString& why) const { throw ImportError(line, col(name), why); }
    Money amount(const QString& name, bool emptyIsZero) const
    {
        Money m;
        const QString t = (*this)(name).trimmed();
        if (t.isEmpty() && emptyIsZero)
            return m;
        if (const QString why = amountText(t, &m); !why.isEmpty())
            refuse(name, QStringLiteral("%1: %2").arg(name, why));
        return m;
    }
};

void checkCount(const QStringList& f, const QHash<QString, int>& cols, int line)
{
    if (f.size() != cols.size())
        throw ImportError(line, 0,
                          QStringLiteral("The line has %1 fields; the header has %2.").arg(f.size()).arg(cols.size()));
}

// The rows of one voucher (consecutive rows of one kind and number), checked against the shape
// the store writes for its kind and turned back into the voucher's lines.
class VoucherRows {
public:
    explicit VoucherRows(const Events& e)
        : m_e(e)
    {
    }
    void add(const Row& r)
    {
        const QString kindText = r(QStringLiteral("Kind")).trimmed();
        const VoucherKindInfo* k = voucherKindByCode(kindText);
        if (!k)
            r.refuse(QStringLiteral("Kind"),
                     QStringLiteral("\"%1\" is not a voucher kind (JV, BP, BR, CP or CR).").arg(kindText));
        bool ok = false;
        const qint64 number = r(QStringLiteral("Number")).trimmed().toLongLong(&ok);
        if (!ok || number <= 0)
            r.refuse(QStringLiteral("Number"),
                     QStringLiteral("\"%1\" is not a voucher number.").arg(r(QStringLiteral("Number"))));
        if (r.col(QStringLiteral("Voucher")) > 0
            && r(QStringLiteral("Voucher")).trimmed() != k->prefix + QString::number(number))
            r.refuse(QStringLiteral("Voucher"), QStringLiteral("The voucher \"%1\" is not kind %2 number %3.")
                                                    .arg(r(QStringLiteral("Voucher")), k->code)
                                                    .arg(number));
        const QDate date = fileDate(r(QStringLiteral("Date")).trimmed(), false);
        if (!date.isValid())
            r.refuse(QStringLiteral("Date"),
                     QStringLiteral("\"%1\" is not a date written yyyy-mm-dd.").arg(r(QStringLiteral("Date"))));
        if (m_open && (k->kind != m_v.kind || number != m_v.number))
            flush();
        const QString party = r(QStringLiteral("Party"));
        if (!m_open) {
            const QString key = k->prefix + QString::number(number);
            if (const int at = m_seen.value(key); at > 0)
                throw ImportError(r.line, 0,
                                  QStringLiteral("%1 appears again: its rows began at line %2 and must be together.")
                                      .arg(key)
                                      .arg(at));
            m_seen.insert(key, r.line);
            m_open = true;
            m_v = RawVoucher{k->kind, number, date, party, {}, r.line};
            m_rows.clear();
        } else if (date != m_v.date) {
            r.refuse(QStringLiteral("Date"), QStringLiteral("The rows of one voucher have one date."));
        } else if (party != m_v.party) {
            r.refuse(QStringLiteral("Party"), QStringLiteral("The rows of one voucher have one party."));
        }
        Data d;
        d.line = r.line;
        d.code = r(QStringLiteral("AccountCode")).trimmed();
        d.dr = r.amount(QStringLiteral("Debit"), true);
        d.cr = r.amount(QStringLiteral("Credit"), true);
        if (d.dr.cents < 0 || d.cr.cents < 0 || (d.dr.cents > 0) == (d.cr.cents > 0))
            r.refuse(QStringLiteral("Debit"),
                     QStringLiteral("A row holds an amount above zero on one side, Debit or Credit, and 0 on the "
                                    "other."));
        if (d.code.isEmpty())
            r.refuse(QStringLiteral("AccountCode"), QStringLiteral("The row names no account code."));
        d.hasContra = r.col(QStringLiteral("ContraCode")) > 0;
        d.contra = r(QStringLiteral("ContraCode")).trimmed();
        d.entry = r.col(QStringLiteral("EntryNo")) > 0 ? r(QStringLiteral("EntryNo")).trimmed().toInt(&ok) : 0;
        if (r.col(QStringLiteral("EntryNo")) > 0 && (!ok || d.entry <= 0))
            r.refuse(QStringLiteral("EntryNo"),
                     QStringLiteral("\"%1\" is not a line number.").arg(r(QStringLiteral("EntryNo"))));
        d.cheque = r(QStringLiteral("Cheque"));
        d.narration = r(QStringLiteral("Narration"));
        d.fileNo = r(QStringLiteral("FileNo"));
        d.billNo = r(QStringLiteral("BillNo"));
        m_rows.push_back(std::move(d));
    }
    void finish()
    {
        if (m_open)
            flush();
    }

private:
    struct Data {
        int line = 0, entry = 0;
        QString code, contra, cheque, narration, fileNo, billNo;
        Money dr, cr;
        bool hasContra = false;
    };
    [[noreturn]] void misshapen(const Data& d, const QString& why)
    {
        const VoucherKindInfo& k = voucherKind(m_v.kind);
        throw ImportError(d.line, 0,
                          QStringLiteral("%1%2 is not in the shape of a %3: %4")
                              .arg(k.prefix)
                              .arg(m_v.number)
                              .arg(k.caption.toLower(), why));
    }
    void flush()
    {
        m_open = false;
        const VoucherKindInfo& k = voucherKind(m_v.kind);
        auto entryOk = [](const Data& d, int n) { return d.entry == 0 || d.entry == n; };
        if (k.shape == RowShape::Mirrored) {
            if (m_rows.size() % 2 != 0)
                misshapen(m_rows.back(), QStringLiteral("its rows come in pairs, a debit row and its credit row."));
            for (size_t i = 0; i < m_rows.size(); i += 2) {
                const Data &a = m_rows[i], &b = m_rows[i + 1];
                if (a.dr.cents <= 0 || b.cr != a.dr)
                    misshapen(b, QStringLiteral("each debit row is followed by its credit row of the same amount."));
                if (a.code == b.code)
                    misshapen(b, QStringLiteral("a line has the same account on both sides."));
                if (a.hasContra && (a.contra != b.code || b.contra != a.code))
                    misshapen(b, QStringLiteral("the two rows of a line name each other as contra."));
                if (!entryOk(a, int(i / 2) + 1) || !entryOk(b, int(i / 2) + 1))
                    misshapen(b, QStringLiteral("both rows of line %1 have the EntryNo %1.").arg(i / 2 + 1));
                if (a.cheque != b.cheque || a.narration != b.narration || a.fileNo != b.fileNo || a.billNo != b.billNo)
                    misshapen(b, QStringLiteral("both rows of a line have the same cheque, narration, file and bill."));
                m_v.lines.push_back({a.code, b.code, a.dr, a.cheque, a.narration, a.fileNo, a.billNo});
            }
        } else {
            const bool payment = *k.contra == Side::Credit;
            const Data& cash = m_rows.back();
            if (m_rows.size() < 2)
                misshapen(cash, QStringLiteral("it has its lines and then the cash row."));
            qint64 sum = 0;
            for (size_t i = 0; i + 1 < m_rows.size(); ++i) {
                const Data& d = m_rows[i];
                const Money amount = payment ? d.dr : d.cr;
                if (amount.cents <= 0)
                    misshapen(d, payment ? QStringLiteral("its lines are debits.")
                                         : QStringLiteral("its lines are credits."));
                if ((d.hasContra && d.contra != cash.code) || !entryOk(d, int(i) + 1) || d.code == cash.code)
                    misshapen(d, QStringLiteral("each line names the cash account of the last row as contra."));
                sum += amount.cents;
                m_v.lines.push_back({payment ? d.code : cash.code, payment ? cash.code : d.code, amount, d.cheque,
                                     d.narration, d.fileNo, d.billNo});
            }
            if ((payment ? cash.cr : cash.dr).cents != sum || !entryOk(cash, int(m_rows.size()))
                || !cash.contra.isEmpty() || !cash.cheque.isEmpty() || !cash.fileNo.isEmpty() || !cash.billNo.isEmpty()
                || cash.narration != m_rows.front().narration)
                misshapen(cash, QStringLiteral("its last row posts the total of the lines to the cash account, with "
                                               "the first line's narration and nothing else."));
        }
        m_e.voucher(std::move(m_v));
    }

    const Events& m_e;
    bool m_open = false;
    RawVoucher m_v;
    std::vector<Data> m_rows;
    QHash<QString, int> m_seen;
};

} // namespace

void readAccountsCsv(const QString& file, const Events& e)
{
    CsvRecords in(file);
    const auto cols = readHeader(
        in, {QStringLiteral("Code"), QStringLiteral("Title"), QStringLiteral("Bank"), QStringLiteral("Opening")},
        {QStringLiteral("Code"), QStringLiteral("Title")});
    QStringList f;
    while (in.next(&f)) {
        if (f.size() == 1 && f[0].trimmed().isEmpty())
            continue;
        checkCount(f, cols, in.line());
        const Row r{f, cols, in.line()};
        FileAccount a;
        a.line = in.line();
        a.key = r(QStringLiteral("Code")).trimmed();
        a.title = r(QStringLiteral("Title")).trimmed();
        const QString bank = r(QStringLiteral("Bank")).trimmed().toUpper();
        if (bank == QLatin1String("Y") || bank == QLatin1String("YES") || bank == QLatin1String("B")
            || bank == QLatin1String("1"))
            a.bank = true;
        else if (!bank.isEmpty() && bank != QLatin1String("N") && bank != QLatin1String("NO")
                 && bank != QLatin1String("0"))
            r.refuse(QStringLiteral("Bank"), QStringLiteral("The bank flag is Y or N, not \"%1\".").arg(bank));
        QString open = r(QStringLiteral("Opening")).trimmed();
        if (!open.isEmpty()) {
            int sign = 1;
            static const QRegularExpression side(QStringLiteral("\\s*(dr|cr)$"),
                                                 QRegularExpression::CaseInsensitiveOption);
            if (const auto m = side.match(open); m.hasMatch()) {
                sign = m.captured(1).toLower() == QLatin1String("cr") ? -1 : 1;
                open.chop(m.capturedLength());
                if (open.startsWith(QLatin1Char('-')) || open.startsWith(QLatin1Char('+')))
                    r.refuse(QStringLiteral("Opening"),
                             QStringLiteral("An opening balance takes Dr/Cr or a sign, not both."));
            }
            Money value;
            if (const QString why = amountText(open, &value); !why.isEmpty())
                r.refuse(QStringLiteral("Opening"), QStringLiteral("Opening: ") + why);
            a.opening = Money(sign * value.cents);
        }
        e.account(a);
    }
}

void readVouchersCsv(const QString& file, const Events& e)
{
    CsvRecords in(file);
    const QStringList known{
        QStringLiteral("Date"),   QStringLiteral("Voucher"),   QStringLiteral("Kind"),        QStringLiteral("Number"),
        QStringLiteral("Party"),  QStringLiteral("EntryNo"),   QStringLiteral("AccountCode"), QStringLiteral("Account"),
        QStringLiteral("Debit"),  QStringLiteral("Credit"),    QStringLiteral("ContraCode"),  QStringLiteral("Contra"),
        QStringLiteral("Cheque"), QStringLiteral("Narration"), QStringLiteral("FileNo"),      QStringLiteral("BillNo")};
    const auto cols = readHeader(in, known,
                                 {QStringLiteral("Date"), QStringLiteral("Kind"), QStringLiteral("Number"),
                                  QStringLiteral("AccountCode"), QStringLiteral("Debit"), QStringLiteral("Credit")});
    QStringList f;
    VoucherRows rows(e);
    while (in.next(&f)) {
        if (f.size() == 1 && f[0].isEmpty())
            continue;
        checkCount(f, cols, in.line());
        const Row r{f, cols, in.line()};
        rows.add(r);
    }
    rows.finish();
}

} // namespace detail
} // namespace qv::imp
