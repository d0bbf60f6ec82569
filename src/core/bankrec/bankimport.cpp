#include "bankrec/bankimport.h"

#include <QStringDecoder>
#include <QVarLengthArray>

namespace qv {

namespace {
[[noreturn]] void bad(int line, const QString& why)
{
    throw DbError(QStringLiteral("Line %1: %2. Nothing was imported.").arg(line).arg(why));
}

// One record of RFC 4180 text from `pos`; false at the end. A quoted field may hold commas,
// doubled quotes and line breaks.
bool nextRecord(const QString& text, qsizetype& pos, QStringList& fields, int& lineNo, int& firstLine)
{
    fields.clear();
    if (pos >= text.size())
        return false;
    firstLine = lineNo;
    QString field;
    bool quoted = false, wasQuoted = false;
    while (pos < text.size()) {
        const QChar ch = text[pos++];
        if (quoted) {
            if (ch == QLatin1Char('"')) {
                if (pos < text.size() && text[pos] == QLatin1Char('"')) {
                    field += ch;
                    ++pos;
                } else {
                    quoted = false;
                }
            } else {
                if (ch == QLatin1Char('\n'))
                    ++lineNo;
                field += ch;
            }
        } else if (ch == QLatin1Char('"') && field.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (ch == QLatin1Char(',')) {
            fields << field;
            field.clear();
            wasQuoted = false;
        } else if (ch == QLatin1Char('\n')) {
            ++lineNo;
            break;
        } else if (ch != QLatin1Char('\r')) {
            if (wasQuoted)
                bad(firstLine, QStringLiteral("text after a closing quote"));
            field += ch;
        }
    }
    if (quoted)
        bad(firstLine, QStringLiteral("a quote is not closed"));
    fields << field;
    return true;
}

QDate readDate(const QString& t)
{
    for (const char* f : {"yyyy-MM-dd", "dd-MM-yyyy", "dd/MM/yyyy", "d/M/yyyy", "d-M-yyyy"}) {
        const QDate d = QDate::fromString(t, QLatin1String(f));
        if (d.isValid())
            return d;
    }
    return {};
}

Money readAmount(int line, const QString& column, const QString& t)
{
    if (t.trimmed().isEmpty())
        return Money();
    const auto m = parseAmount(t.trimmed());
    if (!m)
        bad(line, QStringLiteral("the %1 \"%2\" is not an amount (%3)").arg(column, t, amountProblem(t.trimmed())));
    if (*m < Money())
        bad(line, QStringLiteral("the %1 \"%2\" is negative").arg(column, t));
    return *m;
}
} // namespace

std::vector<StatementLine> readStatementCsv(const QByteArray& data, const StatementColumns& columns)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(data);
    if (utf8.hasError())
        bad(1, QStringLiteral("the file is not UTF-8 text"));
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    qsizetype pos = 0;
    int lineNo = 1, first = 1;
    QStringList fields;
    if (!nextRecord(text, pos, fields, lineNo, first))
        bad(1, QStringLiteral("the file is empty"));
    QHash<QString, int> header;
    for (int i = 0; i < fields.size(); ++i)
        header.insert(fields[i].trimmed().toLower(), i);
    auto column = [&](const QString& name, bool needed) {
        const int i = header.value(name.toLower(), -1);
        if (i < 0 && needed)
            bad(1, QStringLiteral("the header names no column \"%1\"").arg(name));
        return i;
    };
    const int cDate = column(columns.date, true), cDebit = column(columns.debit, true),
              cCredit = column(columns.credit, true), cDesc = column(columns.description, false),
              cCheque = column(columns.cheque, false), cBal = column(columns.balance, false);
    std::vector<StatementLine> out;
    while (nextRecord(text, pos, fields, lineNo, first)) {
        if (fields.size() == 1 && fields[0].trimmed().isEmpty())
            continue; // a blank line
        if (fields.size() != header.size())
            bad(first, QStringLiteral("%1 fields where the header has %2").arg(fields.size()).arg(header.size()));
        StatementLine l;
        l.lineNo = first;
        l.date = readDate(fields[cDate].trimmed());
        if (!l.date.isValid())
            bad(first, QStringLiteral("\"%1\" is not a date (dd-mm-yyyy or yyyy-mm-dd)").arg(fields[cDate]));
        l.debit = readAmount(first, QStringLiteral("debit"), fields[cDebit]);
        l.credit = readAmount(first, QStringLiteral("credit"), fields[cCredit]);
        if ((l.debit == Money()) == (l.credit == Money()))
            bad(first, QStringLiteral("a line needs either a debit or a credit"));
        if (cDesc >= 0)
            l.description = fields[cDesc].trimmed();
        if (cCheque >= 0)
            l.cheque = fields[cCheque].trimmed();
        if (cBal >= 0 && !fields[cBal].trimmed().isEmpty()) {
            const auto b = parseAmount(fields[cBal].trimmed());
            if (!b)
                bad(first, QStringLiteral("the balance \"%1\" is not an amount").arg(fields[cBal]));
            l.balance = b;
        }
        out.push_back(std::move(l));
    }
    if (out.empty())
        bad(lineNo, QStringLiteral("the file holds no statement line"));
    return out;
}

Matching matchStatement(const std::vector<StatementLine>& statement, const std::vector<BankLine>& lines, int days)
{
    // The lines that may be cleared, by side and amount (receipts keyed positive, payments negative).
    QHash<qint64, QVarLengthArray<size_t, 2>> byAmount;
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].state != BankLine::State::Cleared)
            byAmount[lines[i].receipt != Money() ? lines[i].receipt.cents : -lines[i].payment.cents].append(i);
    std::vector<bool> taken(lines.size(), false), done(statement.size(), false);
    Matching m;
    auto keyOf = [](const StatementLine& s) { return s.credit != Money() ? s.credit.cents : -s.debit.cents; };
    for (int s = 0; s < int(statement.size()); ++s) {
        const StatementLine& st = statement[size_t(s)];
        if (st.cheque.isEmpty())
            continue;
        for (size_t i : byAmount.value(keyOf(st)))
            if (!taken[i] && lines[i].cheque.compare(st.cheque, Qt::CaseInsensitive) == 0) {
                taken[i] = done[size_t(s)] = true;
                m.proposals.push_back({s, i, MatchProposal::How::Cheque});
                break;
            }
    }
    for (int s = 0; s < int(statement.size()); ++s) {
        if (done[size_t(s)])
            continue;
        const StatementLine& st = statement[size_t(s)];
        std::optional<size_t> best;
        qint64 bestGap = days + 1;
        for (size_t i : byAmount.value(keyOf(st))) {
            const qint64 gap = qAbs(lines[i].date.daysTo(st.date));
            if (!taken[i] && gap < bestGap)
                best = i, bestGap = gap;
        }
        if (best) {
            taken[*best] = true;
            m.proposals.push_back({s, *best, MatchProposal::How::AmountAndDate});
        } else {
            m.unmatched.push_back(s);
        }
    }
    std::sort(m.proposals.begin(), m.proposals.end(),
              [](const MatchProposal& a, const MatchProposal& b) { return a.statementIndex < b.statementIndex; });
    return m;
}

QHash<qint64, QDate> proposedTicks(const Matching& m, const std::vector<StatementLine>& statement,
                                   const std::vector<BankLine>& lines)
{
    QHash<qint64, QDate> out;
    for (const MatchProposal& p : m.proposals)
        out.insert(lines[p.lineIndex].rowId, statement[size_t(p.statementIndex)].date);
    return out;
}

} // namespace qv
