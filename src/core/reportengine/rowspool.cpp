#include "reportengine/rowspool.h"

#include "db/money.h"
#include "reportengine/reporterror.h"

#include <QDate>
#include <QDir>
#include <cstring>
#include <utility>

namespace qv::rpt {

namespace {
qint64 g_memoryLimit = 8 << 20;
constexpr qint64 FileTail = 1 << 20; // once spilling: the tail goes to the file a megabyte at a time
constexpr qint64 Window = 1 << 16;

enum Tag : char { Null, MoneyTag, DateTag, Int, Real, Text };

template <class T> void put(std::string& out, T v)
{
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}
template <class T> T take(const char*& p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    p += sizeof v;
    return v;
}

[[noreturn]] void spoolFailed(const QString& why)
{
    throw ReportError(QStringLiteral("The report's rows could not be kept in a temporary file: %1").arg(why));
}
} // namespace

qint64 RowSpool::setMemoryLimit(qint64 bytes)
{
    return std::exchange(g_memoryLimit, bytes);
}

qint64 RowSpool::append(const Row& row)
{
    const qint64 at = end();
    // Each row: its length in bytes, its field count, then a tag and a value per field.
    const size_t start = m_tail.size();
    put(m_tail, quint32(0));
    put(m_tail, quint32(row.size()));
    for (const QVariant& v : row) {
        const QMetaType t = v.metaType();
        if (v.isNull() || !v.isValid()) {
            m_tail += char(Null);
        } else if (t == QMetaType::fromType<Money>()) {
            m_tail += char(MoneyTag);
            put(m_tail, v.value<Money>().cents);
        } else if (t == QMetaType::fromType<QDate>()) {
            m_tail += char(DateTag);
            put(m_tail, v.toDate().toJulianDay());
        } else if (t == QMetaType::fromType<qint64>()) {
            m_tail += char(Int);
            put(m_tail, v.toLongLong());
        } else if (t == QMetaType::fromType<double>()) {
            m_tail += char(Real);
            put(m_tail, v.toDouble());
        } else {
            const QByteArray text = v.toString().toUtf8();
            m_tail += char(Text);
            put(m_tail, quint32(text.size()));
            m_tail.append(text.constData(), size_t(text.size()));
        }
    }
    const quint32 len = quint32(m_tail.size() - start);
    std::memcpy(m_tail.data() + start, &len, sizeof len);
    ++m_rows;
    if (qint64(m_tail.size()) > (m_fileSize > 0 ? FileTail : g_memoryLimit))
        spill();
    return at;
}

void RowSpool::spill()
{
    if (!m_file.isOpen()) {
        m_file.setFileTemplate(QDir(QDir::tempPath()).filePath(QStringLiteral("quoravel-rows-XXXXXX")));
        if (!m_file.open())
            spoolFailed(m_file.errorString());
    }
    if (!m_file.seek(m_fileSize) || m_file.write(m_tail.data(), qint64(m_tail.size())) != qint64(m_tail.size())
        || !m_file.flush())
        spoolFailed(m_file.errorString());
    m_fileSize += qint64(m_tail.size());
    m_tail.clear();
    m_tail.shrink_to_fit();
}

void RowSpool::fetch(qint64 offset, qint64 n, char* out) const
{
    if (offset >= m_fileSize) {
        std::memcpy(out, m_tail.data() + (offset - m_fileSize), size_t(n));
        return;
    }
    // A row lies wholly in the file or wholly in the tail.
    if (m_windowAt < 0 || offset < m_windowAt || offset + n > m_windowAt + qint64(m_window.size())) {
        const qint64 size = qMin(qMax(Window, n), m_fileSize - offset);
        m_window.resize(size_t(size));
        if (!m_file.seek(offset) || m_file.read(m_window.data(), size) != size)
            spoolFailed(m_file.errorString());
        m_windowAt = offset;
    }
    std::memcpy(out, m_window.data() + (offset - m_windowAt), size_t(n));
}

qint64 RowSpool::read(qint64 offset, Row& row) const
{
    quint32 len = 0;
    fetch(offset, sizeof len, reinterpret_cast<char*>(&len));
    m_body.resize(len);
    fetch(offset, len, m_body.data());
    const char* p = m_body.data() + sizeof len;
    row.resize(int(take<quint32>(p)));
    for (QVariant& v : row) {
        switch (*p++) {
        case Null:
            v = QVariant();
            break;
        case MoneyTag:
            v = QVariant::fromValue(Money(take<qint64>(p)));
            break;
        case DateTag:
            v = QDate::fromJulianDay(take<qint64>(p));
            break;
        case Int:
            v = take<qint64>(p);
            break;
        case Real:
            v = take<double>(p);
            break;
        default: {
            const auto n = qsizetype(take<quint32>(p));
            v = QString::fromUtf8(p, n);
            p += n;
        }
        }
    }
    return offset + len;
}

bool SpooledRows::next(Row& row)
{
    if (m_pos < m_spool->end()) {
        m_last = m_pos;
        m_pos = m_spool->read(m_pos, row);
        return true;
    }
    if (!m_more || !m_more->next(row))
        return false;
    m_last = m_spool->append(row);
    m_pos = m_spool->end();
    return true;
}

void SpooledRows::drain()
{
    if (!m_more)
        return;
    Row row;
    while (m_more->next(row))
        m_spool->append(row);
    m_more = nullptr;
}

} // namespace qv::rpt
