#include "widgets/unsaved.h"

#include "widgets/msgbox.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>

namespace qv {

namespace {
QString stateOf(const QWidget* w)
{
    if (const auto* e = qobject_cast<const QLineEdit*>(w))
        return e->text();
    if (const auto* t = qobject_cast<const QPlainTextEdit*>(w))
        return t->toPlainText();
    if (const auto* c = qobject_cast<const QComboBox*>(w))
        return c->currentText();
    if (const auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    if (const auto* d = qobject_cast<const QDateEdit*>(w))
        return d->date().toString(Qt::ISODate);
    if (const auto* g = qobject_cast<const QTableWidget*>(w)) {
        QStringList cells;
        for (int r = 0; r < g->rowCount(); ++r)
            for (int c = 0; c < g->columnCount(); ++c)
                cells << (g->item(r, c) ? g->item(r, c)->text() : QString());
        return QString::number(g->rowCount()) + QLatin1Char('\x1f') + cells.join(QLatin1Char('\x1f'));
    }
    return {};
}
} // namespace

void EntrySnapshot::watch(const QList<QWidget*>& boxes)
{
    for (QWidget* w : boxes)
        m_boxes << QPointer<QWidget>(w);
    take();
}

QStringList EntrySnapshot::state() const
{
    QStringList out;
    for (const QPointer<QWidget>& w : m_boxes)
        out << (w ? stateOf(w) : QString());
    return out;
}

void EntrySnapshot::take()
{
    m_taken = state();
}

bool EntrySnapshot::changed() const
{
    return state() != m_taken;
}

bool askDropUnsaved(const QString& question)
{
    return Msg::askDestructive(question, {}, Msg::Icon::Question);
}

} // namespace qv
