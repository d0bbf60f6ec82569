#pragma once
// Packed storage of laid-out pages. A page holds hundreds of texts: it keeps its items as
// fixed-size records over one text buffer instead of one allocation per text. The items read as
// a plain container; they are unpacked once, on first access by index or iteration.
#include <QRectF>
#include <QString>
#include <QVector>

namespace qv::rpt {

struct DocItem {
    enum Kind : quint8 { Text, Line, Box };
    Kind kind = Text;
    bool pageRef = false; // holds a page mark
    quint16 style = 0;
    float pen = 0.25f;
    QRectF rect; // mm from the paper's top-left corner; a line runs from topLeft to bottomRight
    QString text;
};

class DocItems {
public:
    struct Packed {
        float x, y, w, h;
        quint32 textPos, textLen;
        float pen;
        quint16 style;
        DocItem::Kind kind;
        bool pageRef;
        QRectF rect() const { return QRectF(x, y, w, h); }
    };

    void push_back(const DocItem& item);
    // Replaces the text of item i (the page marks filled in).
    void setText(int i, const QString& text);
    // Gives back the room kept for growth once the page is complete.
    void squeeze();

    int size() const { return int(m_items.size()); }
    // The memory the page holds, about.
    qint64 bytes() const
    {
        return m_items.size() * qint64(sizeof(Packed)) + m_text.size() * 2 + m_unpacked.size() * 64;
    }
    bool isEmpty() const { return m_items.isEmpty(); }
    const QVector<Packed>& packed() const { return m_items; }
    QString text(const Packed& p) const { return m_text.mid(qsizetype(p.textPos), qsizetype(p.textLen)); }

    const DocItem& operator[](int i) const { return unpacked()[i]; }
    const DocItem& at(int i) const { return unpacked()[i]; }
    QVector<DocItem>::const_iterator begin() const { return unpacked().cbegin(); }
    QVector<DocItem>::const_iterator end() const { return unpacked().cend(); }

private:
    const QVector<DocItem>& unpacked() const;

    QVector<Packed> m_items;
    QString m_text;
    mutable QVector<DocItem> m_unpacked; // filled on first access, dropped by a change
};

struct DocPage {
    DocItems items;
};

} // namespace qv::rpt
