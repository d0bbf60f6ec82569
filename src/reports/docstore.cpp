#include "reports/docstore.h"

namespace qv::rpt {

void DocItems::push_back(const DocItem& item)
{
    Packed p;
    p.x = float(item.rect.x());
    p.y = float(item.rect.y());
    p.w = float(item.rect.width());
    p.h = float(item.rect.height());
    p.textPos = quint32(m_text.size());
    p.textLen = quint32(item.text.size());
    p.pen = item.pen;
    p.style = item.style;
    p.kind = item.kind;
    p.pageRef = item.pageRef;
    m_text += item.text;
    m_items.push_back(p);
    m_unpacked.clear();
}

void DocItems::setText(int i, const QString& text)
{
    Packed& p = m_items[i];
    if (quint32(text.size()) <= p.textLen) {
        m_text.replace(qsizetype(p.textPos), text.size(), text);
    } else {
        p.textPos = quint32(m_text.size());
        m_text += text;
    }
    p.textLen = quint32(text.size());
    m_unpacked.clear();
}

void DocItems::squeeze()
{
    m_items.squeeze();
    m_text.squeeze();
}

const QVector<DocItem>& DocItems::unpacked() const
{
    if (m_unpacked.size() != m_items.size()) {
        m_unpacked.clear();
        m_unpacked.reserve(m_items.size());
        for (const Packed& p : m_items) {
            DocItem it;
            it.kind = p.kind;
            it.pageRef = p.pageRef;
            it.style = p.style;
            it.pen = p.pen;
            it.rect = p.rect();
            it.text = text(p);
            m_unpacked.push_back(it);
        }
    }
    return m_unpacked;
}

void CsvRows::push_back(const QStringList& cells)
{
    m_rowStart.push_back(quint32(m_cellEnd.size()));
    for (const QString& c : cells) {
        m_text += c.toUtf8();
        m_cellEnd.push_back(m_text.size());
    }
}

void CsvRows::squeeze()
{
    m_text.squeeze();
    m_cellEnd.squeeze();
    m_rowStart.squeeze();
}

QStringList CsvRows::operator[](qsizetype row) const
{
    const qsizetype first = m_rowStart[row];
    const qsizetype last = row + 1 < m_rowStart.size() ? m_rowStart[row + 1] : m_cellEnd.size();
    qint64 pos = first > 0 ? m_cellEnd[first - 1] : 0;
    QStringList out;
    out.reserve(last - first);
    for (qsizetype c = first; c < last; ++c) {
        out << QString::fromUtf8(m_text.constData() + pos, m_cellEnd[c] - pos);
        pos = m_cellEnd[c];
    }
    return out;
}

} // namespace qv::rpt
