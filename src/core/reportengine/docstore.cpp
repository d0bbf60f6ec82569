#include "reportengine/docstore.h"

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

} // namespace qv::rpt
