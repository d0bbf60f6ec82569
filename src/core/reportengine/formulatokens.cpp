#include "reportengine/formulatokens.h"

#include "reportengine/reporterror.h"

#include <QDate>
#include <QRegularExpression>

namespace qv::rpt::detail {

[[noreturn]] void fail(const QString& formula, int pos, const QString& what)
{
    // A long formula is shown around the place only: the message must stay readable.
    QString shown = formula;
    if (formula.size() > 200) {
        const int from = qMax(0, pos - 60);
        shown = (from > 0 ? QStringLiteral("...") : QString()) + formula.mid(from, 120)
                + (from + 120 < formula.size() ? QStringLiteral("...") : QString());
    }
    throw ReportError(QStringLiteral("Error in the formula at character %1: %2.\n\n%3").arg(pos + 1).arg(what, shown));
}

QVector<Token> tokenize(const QString& s)
{
    QVector<Token> out;
    int i = 0;
    const int n = int(s.size());
    while (i < n) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        Token t;
        t.pos = i;
        if (c == QLatin1Char('{')) {
            const int close = int(s.indexOf(QLatin1Char('}'), i));
            if (close < 0)
                fail(s, i, QStringLiteral("the field name has no closing brace"));
            t.kind = Tok::Field;
            t.text = s.mid(i + 1, close - i - 1).trimmed();
            i = close + 1;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A doubled quote inside stands for one.
            QString v;
            int j = i + 1;
            for (;;) {
                if (j >= n)
                    fail(s, i, QStringLiteral("the text has no closing quote"));
                if (s[j] == c) {
                    if (j + 1 < n && s[j + 1] == c) {
                        v += c;
                        j += 2;
                        continue;
                    }
                    break;
                }
                v += s[j++];
            }
            t.kind = Tok::Text;
            t.text = v;
            i = j + 1;
        } else if (c == QLatin1Char('#')) {
            const int close = int(s.indexOf(QLatin1Char('#'), i + 1));
            if (close < 0)
                fail(s, i, QStringLiteral("the date has no closing number sign"));
            t.kind = Tok::Date;
            t.text = s.mid(i + 1, close - i - 1).trimmed();
            i = close + 1;
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && s[i + 1].isDigit())) {
            int j = i;
            while (j < n && s[j].isDigit())
                ++j;
            if (j < n && s[j] == QLatin1Char('.')) {
                ++j;
                while (j < n && s[j].isDigit())
                    ++j;
            }
            if (j < n && (s[j].isLetter() || s[j] == QLatin1Char('_')))
                fail(s, i, QStringLiteral("\"%1\" is not a number").arg(s.mid(i, j - i + 1)));
            t.kind = Tok::Number;
            t.text = s.mid(i, j - i);
            i = j;
        } else if (c.isLetter()) {
            int j = i;
            while (j < n && (s[j].isLetterOrNumber() || s[j] == QLatin1Char('_')))
                ++j;
            t.kind = Tok::Word;
            t.text = s.mid(i, j - i).toLower();
            i = j;
        } else if (c == QLatin1Char('=')) {
            t.kind = Tok::Cmp;
            t.text = QStringLiteral("=");
            ++i;
        } else if (c == QLatin1Char('<') || c == QLatin1Char('>')) {
            t.kind = Tok::Cmp;
            t.text = c;
            ++i;
            if (i < n && (s[i] == QLatin1Char('=') || (c == QLatin1Char('<') && s[i] == QLatin1Char('>'))))
                t.text += s[i++];
        } else if (c == QLatin1Char('(')) {
            t.kind = Tok::LParen;
            ++i;
        } else if (c == QLatin1Char(')')) {
            t.kind = Tok::RParen;
            ++i;
        } else if (c == QLatin1Char('-')) {
            t.kind = Tok::Minus;
            ++i;
        } else {
            fail(s, i, QStringLiteral("the character \"%1\" is not allowed here").arg(c));
        }
        out.push_back(t);
    }
    Token end;
    end.pos = n;
    out.push_back(end);
    return out;
}

} // namespace qv::rpt::detail
