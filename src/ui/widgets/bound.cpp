#include "widgets/bound.h"

#include "db/connection.h"
#include "db/recordset.h"

#include <QDate>
#include <QLineEdit>
#include <QWidget>

namespace qv {

void bind(QLineEdit* box, const QString& tag, const QString& dataField)
{
    box->setProperty("tag", tag);
    box->setProperty("dataField", dataField);
}

QList<QLineEdit*> boundBoxes(const QWidget* root, const QString& tag)
{
    QList<QLineEdit*> out;
    for (QLineEdit* e : root->findChildren<QLineEdit*>())
        if (e->property("tag").toString() == tag && !e->property("dataField").toString().isEmpty())
            out << e;
    return out;
}

void clearBound(const QWidget* root, const QString& tag)
{
    for (QLineEdit* e : boundBoxes(root, tag))
        e->clear();
}

void setBoundMaxLengths(const QWidget* root, const QString& tag, Connection& c, const QString& table)
{
    for (QLineEdit* e : boundBoxes(root, tag)) {
        const int w = c.columnWidth(table, e->property("dataField").toString());
        if (w > 0 && e->inputMask().isEmpty())
            e->setMaxLength(w);
    }
}

void fillBound(const QWidget* root, const QString& tag, const RecordSet& rs)
{
    for (QLineEdit* e : boundBoxes(root, tag)) {
        const QString col = e->property("dataField").toString();
        if (rs.hasField(col))
            e->setText(rs.text(col));
    }
}

void writeBound(const QWidget* root, const QString& tag, RecordSet& rs)
{
    for (QLineEdit* e : boundBoxes(root, tag)) {
        const QString col = e->property("dataField").toString();
        const QString t = e->text();
        rs.setField(col, t.isEmpty() ? QVariant() : QVariant(t));
    }
}

void setDigitMask(QLineEdit* box, const QString& hashes)
{
    QString mask = hashes;
    mask.replace(QLatin1Char('#'), QLatin1Char('9'));
    box->setInputMask(mask + QStringLiteral(";_"));
}

bool maskComplete(const QLineEdit* box)
{
    return box->hasAcceptableInput();
}

void placeTwips(QWidget* w, int leftTwips, int topTwips)
{
    QWidget* target = w->parentWidget() && w->parentWidget()->inherits("QMdiSubWindow") ? w->parentWidget() : w;
    target->move(twips(leftTwips), twips(topTwips));
}

} // namespace qv
