// A ledger/hledger journal read as vouchers: what this book can hold is taken, anything else
// (another commodity, prices, virtual postings, more than two decimals, directives that change
// how the rest reads) is refused with its line.
#include "transfer/importread_p.h"

#include <QRegularExpression>

namespace qv::imp::detail {

namespace {

struct Posting {
    QString account, note;
    std::optional<Money> amount;
    int line = 0;
};

struct Transaction {
    QDate date;
    QString payee;
    std::vector<Posting> postings;
    int line = 0;
};

bool isOpeningEquity(const QString& name)
{
    return name.compare(QLatin1String("Equity:Opening Balances"), Qt::CaseInsensitive) == 0
           || name.compare(QLatin1String("equity:opening/closing balances"), Qt::CaseInsensitive) == 0;
}

// The export writes a line's cheque after its narration: "narration (cheque 123)".
void splitNote(const QString& note, QString* narration, QString* cheque)
{
    static const QRegularExpression re(QStringLiteral("^(.*?) ?\\(cheque (.*)\\)$"));
    const auto m = re.match(note);
    if (m.hasMatch())
        *narration = m.captured(1), *cheque = m.captured(2);
    else
        *narration = note, cheque->clear();
}

class Journal {
public:
    explicit Journal(const Events& e)
        : m_e(e)
    {
    }

    void read(const QString& file)
    {
        TextLines in(file);
        QString line;
        bool inComment = false;
        while (in.next(&line)) {
            const int n = in.number();
            const QString trimmed = line.trimmed();
            if (inComment) {
                inComment = trimmed != QLatin1String("end comment");
                continue;
            }
            if (trimmed.isEmpty()) {
                finish();
                continue;
            }
            const QChar first = line[0];
            if (first == QLatin1Char(' ') || first == QLatin1Char('\t')) {
                indented(trimmed, n, int(line.size() - line.trimmed().size()) + 1);
                continue;
            }
            finish();
            if (QStringLiteral(";#*%|").contains(first))
                continue;
            if (trimmed == QLatin1String("comment")) {
                inComment = true;
                continue;
            }
            if (first.isDigit())
                header(line, n);
            else
                directive(trimmed, n);
        }
        finish();
    }

private:
    [[noreturn]] static void refuse(int line, int column, const QString& why) { throw ImportError(line, column, why); }

    void directive(const QString& text, int n)
    {
        const QString word = text.section(QLatin1Char(' '), 0, 0);
        if (word == QLatin1String("account")) {
            FileAccount a;
            a.key = text.mid(8).section(QStringLiteral("  "), 0, 0).section(QLatin1Char(';'), 0, 0).trimmed();
            a.line = n;
            if (!isOpeningEquity(a.key))
                m_declared = a;
            m_inAccount = true;
            return;
        }
        if (word == QLatin1String("commodity") || word == QLatin1String("payee") || word == QLatin1String("tag"))
            return;
        if (word == QLatin1String("decimal-mark") && text.mid(13).trimmed() == QLatin1String("."))
            return;
        QString why = QStringLiteral("The directive \"%1\" is not read by the import.").arg(word);
        if (word == QLatin1String("P"))
            why = QStringLiteral("Market prices cannot be represented: the book keeps one currency.");
        else if (word == QLatin1String("include"))
            why = QStringLiteral("Included files are not read: join them into one file first.");
        refuse(n, 1, why);
    }

    void header(const QString& line, int n)
    {
        // Up to the first white space (a pattern here would be compiled again for every voucher).
        qsizetype end = 0;
        while (end < line.size() && !QStringView(u" \t\n\v\f\r").contains(line[end]))
            ++end;
        const QString dateText = line.left(end);
        const QDate d = fileDate(dateText.section(QLatin1Char('='), 0, 0), true);
        if (!d.isValid())
            refuse(n, 1, QStringLiteral("\"%1\" is not a date (write yyyy-mm-dd).").arg(dateText));
        QString rest = line.mid(dateText.size()).section(QLatin1Char(';'), 0, 0).trimmed();
        if (rest.startsWith(QLatin1Char('*')) || rest.startsWith(QLatin1Char('!')))
            rest = rest.mid(1).trimmed();
        static const QRegularExpression code(QStringLiteral("^\\([^)]*\\)\\s*"));
        rest.remove(code);
        m_tx = Transaction{d, rest.section(QLatin1Char('|'), 0, 0).trimmed(), {}, n};
        m_inTx = true;
    }

    void indented(const QString& text, int n, int column)
    {
        if (text.startsWith(QLatin1Char(';')) || text.startsWith(QLatin1Char('#'))) {
            static const QRegularExpression type(QStringLiteral("^;\\s*type:\\s*(\\S+)"));
            if (const auto m = type.match(text); m.hasMatch() && m_inAccount && m_declared) {
                const QString t = m.captured(1).toUpper();
                const QString letters = QStringLiteral("ALERX");
                if (t.size() != 1 || !letters.contains(t[0]))
                    refuse(n, column, QStringLiteral("The account type \"%1\" is not A, L, E, R or X.").arg(t));
                m_declared->cls = t[0] == QLatin1Char('R') ? QLatin1Char('I') : t[0];
            }
            return;
        }
        if (m_inAccount)
            return; // the subdirectives of an account say nothing the book keeps
        if (!m_inTx)
            refuse(n, column, QStringLiteral("An indented line outside a transaction."));
        m_tx.postings.push_back(posting(text, n, column));
    }

    Posting posting(QString text, int n, int column)
    {
        Posting p;
        p.line = n;
        if (text.startsWith(QLatin1Char('*')) || text.startsWith(QLatin1Char('!')))
            text = text.mid(1).trimmed(), ++column;
        const qsizetype semi = text.indexOf(QLatin1Char(';'));
        if (semi >= 0) {
            p.note = text.mid(semi + 1).trimmed();
            text = text.left(semi);
        }
        static const QRegularExpression gap(QStringLiteral("  |\\t"));
        const qsizetype end = text.indexOf(gap);
        p.account = (end < 0 ? text : text.left(end)).trimmed();
        if (p.account.startsWith(QLatin1Char('(')) || p.account.startsWith(QLatin1Char('[')))
            refuse(n, column,
                   QStringLiteral("Virtual postings cannot be represented: every line of a voucher is a "
                                  "real debit or credit."));
        if (p.account.isEmpty())
            refuse(n, column, QStringLiteral("The posting names no account."));
        const QString amount = end < 0 ? QString() : text.mid(end).trimmed();
        if (!amount.isEmpty())
            p.amount = parseAmount(amount, n, int(column + text.indexOf(amount)));
        return p;
    }

    Money parseAmount(const QString& text, int n, int column)
    {
        if (text.contains(QLatin1Char('@')))
            refuse(n, column, QStringLiteral("Prices (@) cannot be represented: the book keeps one currency."));
        if (text.contains(QLatin1Char('=')))
            refuse(n, column, QStringLiteral("Balance assertions (=) are not read by the import."));
        // A commodity before or after the number: "$-12.50", "-$12.50", "12.50 EUR".
        static const QRegularExpression form(QStringLiteral(
            "^([-+]?)\\s*([^-+\\d.,\\s\"]*|\"[^\"]*\")\\s*([-+]?[\\d.,]+)\\s*([^-+\\d.,\\s\"]*|\"[^\"]*\")$"));
        const auto m = form.match(text);
        if (!m.hasMatch() || (!m.captured(2).isEmpty() && !m.captured(4).isEmpty())
            || (!m.captured(1).isEmpty() && m.captured(3).startsWith(QLatin1Char('-'))))
            refuse(n, column, QStringLiteral("\"%1\" is not an amount.").arg(text));
        const QString commodity = m.captured(2) + m.captured(4);
        if (!m_commodity)
            m_commodity = commodity;
        else if (*m_commodity != commodity)
            refuse(n, column,
                   QStringLiteral("The commodity \"%1\" is not the file's one currency (\"%2\").")
                       .arg(commodity, *m_commodity));
        Money value;
        if (const QString why = amountText(m.captured(1) + m.captured(3), &value); !why.isEmpty())
            refuse(n, column, why);
        return value;
    }

    void finish()
    {
        if (m_declared) {
            m_e.account(*m_declared);
            m_declared.reset();
        }
        m_inAccount = false;
        if (!m_inTx)
            return;
        m_inTx = false;
        convert(m_tx);
    }

    void convert(Transaction& t)
    {
        if (t.postings.empty())
            refuse(t.line, 0, QStringLiteral("The transaction has no postings."));
        Posting* elided = nullptr;
        qint64 sum = 0;
        for (Posting& p : t.postings) {
            if (!p.amount) {
                if (elided)
                    refuse(p.line, 0,
                           QStringLiteral("A second posting without an amount: only one can be worked out."));
                elided = &p;
            } else if (__builtin_add_overflow(sum, p.amount->cents, &sum)) {
                refuse(p.line, 0, QStringLiteral("The amounts of the transaction add up past the largest amount."));
            }
        }
        if (elided)
            elided->amount = Money(-sum);
        else if (sum != 0)
            refuse(t.line, 0,
                   QStringLiteral("The transaction does not balance: its postings add up to %1.")
                       .arg(plainAmount(Money(sum))));
        if (t.payee.compare(QLatin1String("Opening balances"), Qt::CaseInsensitive) == 0) {
            for (const Posting& p : t.postings)
                if (!isOpeningEquity(p.account))
                    m_e.account(FileAccount{p.account, {}, false, *p.amount, t.date, {}, p.line});
            return;
        }
        RawVoucher v;
        v.date = t.date;
        v.line = t.line;
        v.party = t.payee;
        static const QRegularExpression label(QStringLiteral("^(JV|BP|BR|CP|CR)-(\\d{1,18})(?: (.*))?$"));
        if (const auto m = label.match(t.payee); m.hasMatch()) {
            v.kind = voucherKindByCode(m.captured(1))->kind;
            v.number = m.captured(2).toLongLong();
            v.party = m.captured(3);
        }
        std::vector<Posting> ps;
        for (Posting& p : t.postings)
            if (p.amount->cents != 0)
                ps.push_back(std::move(p));
        if (ps.empty())
            refuse(t.line, 0, QStringLiteral("The transaction moves no amount."));
        const VoucherKindInfo& k = voucherKind(v.kind);
        if (k.shape == RowShape::LinePlusCash)
            cashLines(v, ps, *k.contra == Side::Credit);
        else
            pairLines(v, ps);
        m_e.voucher(std::move(v));
    }

    // The lines, then the cash posting of their total on the other side.
    static void cashLines(RawVoucher& v, const std::vector<Posting>& ps, bool payment)
    {
        const Posting& cash = ps.back();
        qint64 sum = 0;
        for (size_t i = 0; i + 1 < ps.size(); ++i) {
            const qint64 a = payment ? ps[i].amount->cents : -ps[i].amount->cents;
            if (a <= 0 || ps[i].account == cash.account)
                refuse(ps[i].line, 0,
                       QStringLiteral("A %1 has its lines on the %2 side and the cash posting last.")
                           .arg(voucherKind(v.kind).caption.toLower(),
                                payment ? QStringLiteral("debit") : QStringLiteral("credit")));
            sum += a;
            RawLine l{payment ? ps[i].account : cash.account,
                      payment ? cash.account : ps[i].account,
                      Money(a),
                      {},
                      {},
                      {},
                      {}};
            splitNote(ps[i].note, &l.narration, &l.cheque);
            v.lines.push_back(std::move(l));
        }
        if (ps.size() < 2)
            refuse(cash.line, 0, QStringLiteral("A cash voucher has its lines and then the cash posting."));
    }

    // The pairing rule of bookimport.h.
    static void pairLines(RawVoucher& v, std::vector<Posting>& ps)
    {
        std::vector<Posting*> dr, cr;
        for (Posting& p : ps)
            (p.amount->cents > 0 ? dr : cr).push_back(&p);
        std::vector<qint64> drLeft, crLeft;
        for (Posting* p : dr)
            drLeft.push_back(p->amount->cents);
        for (Posting* p : cr)
            crLeft.push_back(-p->amount->cents);
        size_t i = 0, j = 0;
        while (i < dr.size() && j < cr.size()) {
            if (dr[i]->account == cr[j]->account)
                refuse(cr[j]->line, 0,
                       QStringLiteral("Paired with the posting of line %1, this posting would make a "
                                      "line with the same account on both sides.")
                           .arg(dr[i]->line));
            const qint64 a = std::min(drLeft[i], crLeft[j]);
            RawLine l{dr[i]->account, cr[j]->account, Money(a), {}, {}, {}, {}};
            splitNote(dr[i]->note.isEmpty() ? cr[j]->note : dr[i]->note, &l.narration, &l.cheque);
            v.lines.push_back(std::move(l));
            if ((drLeft[i] -= a) == 0)
                ++i;
            if ((crLeft[j] -= a) == 0)
                ++j;
        }
    }

    const Events& m_e;
    Transaction m_tx;
    bool m_inTx = false, m_inAccount = false;
    std::optional<FileAccount> m_declared;
    std::optional<QString> m_commodity;
};

} // namespace

void readLedger(const QString& file, const Events& e)
{
    Journal(e).read(file);
}

} // namespace qv::imp::detail
