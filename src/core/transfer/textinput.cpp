// Reading the files: lines checked to be UTF-8, amounts and dates as the files write them.
#include "transfer/importread_p.h"

#include <QRegularExpression>
#include <algorithm>

namespace qv::imp {

ImportError::ImportError(int l, int c, const QString& why)
    : DbError(c > 0 ? QStringLiteral("Line %1, column %2: %3 Nothing was imported.").arg(l).arg(c).arg(why)
                    : QStringLiteral("Line %1: %2 Nothing was imported.").arg(l).arg(why))
    , line(l)
    , column(c)
    , reason(why)
{
}

namespace detail {

namespace {
// The offset of the first byte that is not part of well-formed UTF-8, or -1.
qsizetype badUtf8At(const QByteArray& b)
{
    if (std::all_of(b.begin(), b.end(), [](char c) { return uchar(c) < 0x80; }))
        return -1;
    QStringDecoder whole(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = whole.decode(b); // decoding happens on the conversion
    Q_UNUSED(decoded);
    if (!whole.hasError())
        return -1;
    // Where: each sequence on its own.
    for (qsizetype i = 0; i < b.size();) {
        const uchar c = uchar(b[i]);
        const int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > b.size())
            return i;
        QStringDecoder one(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString part = one.decode(b.mid(i, n));
        Q_UNUSED(part);
        if (one.hasError())
            return i;
        i += n;
    }
    return 0;
}
} // namespace

TextLines::TextLines(const QString& path)
    : m_file(path)
{
    if (!m_file.open(QIODevice::ReadOnly))
        throw ImportError(0, 0, QStringLiteral("The file %1 cannot be read: %2.").arg(path, m_file.errorString()));
    if (m_file.size() == 0)
        throw ImportError(1, 0, QStringLiteral("The file is empty."));
    if (m_file.peek(3) == QByteArray("\xEF\xBB\xBF"))
        m_file.read(3);
}

bool TextLines::next(QString* line)
{
    if (m_file.atEnd())
        return false;
    QByteArray b = m_file.readLine();
    ++m_number;
    if (b.endsWith('\n'))
        b.chop(1);
    if (b.endsWith('\r'))
        b.chop(1);
    if (const qsizetype at = badUtf8At(b); at >= 0)
        throw ImportError(m_number, int(QString::fromUtf8(b.left(at)).size()) + 1,
                          QStringLiteral("The text is not UTF-8 (byte 0x%1). Save the file as UTF-8.")
                              .arg(uchar(b[at]), 2, 16, QLatin1Char('0')));
    *line = QString::fromUtf8(b);
    return true;
}

QString amountText(const QString& text, Money* out)
{
    static const QRegularExpression form(QStringLiteral("^[-+]?(\\d{1,3}(,\\d{3})+|\\d+)(\\.\\d*)?$"));
    const QString t = text.trimmed();
    if (t.isEmpty())
        return QStringLiteral("The amount is empty.");
    if (!form.match(t).hasMatch())
        return QStringLiteral("\"%1\" is not an amount.").arg(t);
    if (const qsizetype dot = t.indexOf(QLatin1Char('.')); dot >= 0 && t.size() - dot - 1 > 2)
        return QStringLiteral("The amount %1 has more than two decimals; amounts are kept to the cent.").arg(t);
    const auto m = parseAmount(t);
    if (!m || m->cents > 999'999'999'999'999'999LL || m->cents < -999'999'999'999'999'999LL)
        return QStringLiteral("The amount %1 is larger than an amount can be.").arg(t);
    *out = *m;
    return {};
}

QDate fileDate(const QString& text, bool journal)
{
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})$"));
    static const QRegularExpression loose(QStringLiteral("^(\\d{4})([-/.])(\\d{1,2})\\2(\\d{1,2})$"));
    const QRegularExpressionMatch m = (journal ? loose : iso).match(text);
    if (!m.hasMatch())
        return {};
    return QDate(m.captured(1).toInt(), m.captured(journal ? 3 : 2).toInt(), m.captured(journal ? 4 : 3).toInt());
}

} // namespace detail
} // namespace qv::imp
