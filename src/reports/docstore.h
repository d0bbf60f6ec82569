#pragma once
// Packed storage of laid-out pages and CSV rows. A long report holds millions of texts: each
// page keeps its items as fixed-size records over one text buffer instead of one allocation
// per text, and the CSV rows keep their cells in one buffer. Both read as the plain containers
// they replace; a page's items are unpacked once, on first access by index or iteration.
#include <QRectF>
#include <QString>
#include <QStringList>
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

// One row of cells per detail line; every row has the same number of cells.
class CsvRows {
public:
    class const_iterator {
    public:
        const_iterator(const CsvRows* rows, qsizetype i)
            : m_rows(rows)
            , m_i(i)
        {
        }
        QStringList operator*() const { return (*m_rows)[m_i]; }
        const_iterator& operator++()
        {
            ++m_i;
            return *this;
        }
        bool operator!=(const const_iterator& o) const { return m_i != o.m_i; }
        bool operator==(const const_iterator& o) const { return m_i == o.m_i; }

    private:
        const CsvRows* m_rows;
        qsizetype m_i;
    };

    void push_back(const QStringList& cells);
    void squeeze();
    qsizetype size() const { return m_rowStart.size(); }
    bool isEmpty() const { return m_rowStart.isEmpty(); }
    QStringList operator[](qsizetype row) const;
    QStringList at(qsizetype row) const { return (*this)[row]; }
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, size()); }

private:
    // Cells one after the other in UTF-8 (mostly figures and dates: half the room of UTF-16).
    QByteArray m_text;
    QVector<qint64> m_cellEnd;   // end of each cell in m_text
    QVector<quint32> m_rowStart; // index of the row's first cell in m_cellEnd
};

} // namespace qv::rpt
