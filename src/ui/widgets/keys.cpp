#include "widgets/keys.h"

#include "widgets/datebox.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace qv {

bool EnterAsTabFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* ke = static_cast<QKeyEvent*>(event);
        if ((ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) && ke->modifiers() == Qt::NoModifier) {
            if (auto* w = qobject_cast<QWidget*>(watched)) {
                QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
                // A date typed into a date box is taken before the focus moves on.
                if (auto* date = qobject_cast<DateBox*>(w))
                    date->commitTyped();
                // A date box takes Tab for its own day, month and year: its parent moves the focus on.
                if (qobject_cast<QAbstractSpinBox*>(w) && w->parentWidget())
                    w = w->parentWidget();
                QApplication::sendEvent(w, &tab);
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void enterAsTab(QWidget* w)
{
    static EnterAsTabFilter* filter = new EnterAsTabFilter(qApp);
    w->installEventFilter(filter);
}

void upperCase(QLineEdit* e)
{
    QObject::connect(e, &QLineEdit::textEdited, e, [e](const QString& t) {
        const QString up = t.toUpper();
        if (up == t)
            return;
        const int pos = e->cursorPosition();
        e->setText(up);
        e->setCursorPosition(pos);
    });
}

CharFilter::CharFilter(const QString& pattern, QObject* parent)
    : QObject(parent)
    , m_re(QRegularExpression::anchoredPattern(pattern))
{
}

bool CharFilter::accepts(const QString& text) const
{
    for (const QChar ch : text)
        if (!m_re.match(QString(ch)).hasMatch())
            return false;
    return true;
}

bool CharFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* ke = static_cast<QKeyEvent*>(event);
        const int k = ke->key();
        if (k == Qt::Key_Backspace || k == Qt::Key_Return || k == Qt::Key_Enter)
            return false;
        const QString t = ke->text();
        if (!t.isEmpty() && t.at(0).isPrint() && !(ke->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
            && !accepts(t))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

void charFilter(QLineEdit* e, const QString& pattern)
{
    auto* f = new CharFilter(pattern, e);
    e->installEventFilter(f);
    // Text pasted in is cut back to the accepted characters.
    QObject::connect(e, &QLineEdit::textEdited, e, [e, f](const QString& t) {
        if (f->accepts(t))
            return;
        QString kept;
        for (const QChar ch : t)
            if (f->accepts(QString(ch)))
                kept += ch;
        e->setText(kept);
    });
}

} // namespace qv
