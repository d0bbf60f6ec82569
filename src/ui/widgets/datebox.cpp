#include "widgets/datebox.h"

#include "widgets/status.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalBlocker>

namespace qv {

namespace {
constexpr int MostTyped = 10; // dd-mm-yyyy

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}
bool isSeparator(QChar c)
{
    return c == QLatin1Char('-') || c == QLatin1Char('/') || c == QLatin1Char('.') || c == QLatin1Char(' ');
}

// A part of a typed date as a number of at most `digits` digits; -1 when it is not one.
int part(const QString& s, int digits)
{
    if (s.isEmpty() || s.size() > digits)
        return -1;
    bool ok = false;
    const int n = s.toInt(&ok);
    return ok ? n : -1;
}
} // namespace

const QString& DateBox::format()
{
    static const QString f = QStringLiteral("dd-MM-yyyy");
    return f;
}

DateBox::DateBox(QWidget* parent)
    : DateBox(QDate::currentDate(), parent)
{
}

DateBox::DateBox(const QDate& date, QWidget* parent)
    : QDateEdit(date, parent)
{
    setDisplayFormat(format());
    setCalendarPopup(true);
}

std::optional<QDate> DateBox::readTyped(const QString& typed, const QDate& shown)
{
    static const QRegularExpression separators(QStringLiteral("[-/. ]+"));
    const QString t = typed.trimmed();
    QStringList parts;
    if (t.contains(separators)) {
        parts = t.split(separators, Qt::SkipEmptyParts);
    } else if (t.size() <= 2) {
        parts = {t};
    } else if (t.size() == 4 || t.size() == 6 || t.size() == 8) {
        parts = {t.left(2), t.mid(2, 2)};
        if (t.size() > 4)
            parts << t.mid(4);
    }
    if (parts.isEmpty() || parts.size() > 3)
        return std::nullopt;
    const int day = part(parts[0], 2);
    const int month = parts.size() > 1 ? part(parts[1], 2) : shown.month();
    int year = shown.year();
    if (parts.size() > 2) {
        const QString& y = parts[2];
        year = y.size() == 2 ? 2000 + part(y, 2) : y.size() == 4 ? part(y, 4) : -1;
    }
    if (day < 0 || month < 0 || year < 0)
        return std::nullopt;
    const QDate d(year, month, day);
    if (!d.isValid())
        return std::nullopt;
    return d;
}

void DateBox::showTyped()
{
    // Behind the date box's back: its own section logic must not rework the half-typed text.
    QSignalBlocker block(lineEdit());
    lineEdit()->setText(m_typed);
    lineEdit()->setCursorPosition(int(m_typed.size()));
}

void DateBox::endTyping()
{
    m_typing = false;
    m_typed.clear();
    QSignalBlocker block(lineEdit());
    lineEdit()->setText(textFromDateTime(dateTime()));
}

bool DateBox::commit()
{
    if (!m_typing)
        return true;
    const QString typed = m_typed;
    const QDate before = date();
    endTyping();
    const std::optional<QDate> d = readTyped(typed, before);
    if (!d || *d < minimumDate() || *d > maximumDate()) {
        Status::say(d ? tr("%1 is outside the dates this box takes (%2 to %3): it keeps %4.")
                            .arg(d->toString(format()), minimumDate().toString(format()),
                                 maximumDate().toString(format()), before.toString(format()))
                      : tr("\"%1\" is not a date: the box keeps %2. Type the day, month and year, as 10122026 or "
                           "10-12-2026.")
                            .arg(typed, before.toString(format())));
        return false;
    }
    setDate(*d);
    return true;
}

bool DateBox::event(QEvent* e)
{
    // Tab leaves the box after a typed date, where the date box alone would step to its next section.
    if (m_typing && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
            commit();
            QWidget::focusNextPrevChild(key == Qt::Key_Tab);
            return true;
        }
    }
    return QDateEdit::event(e);
}

void DateBox::keyPressEvent(QKeyEvent* e)
{
    const QString t = e->text();
    const bool plain = !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    const QChar c = t.size() == 1 ? t.at(0) : QChar();
    if (plain && isDigit(c)) {
        if (!m_typing) {
            m_typing = true;
            m_typed.clear();
        }
        if (m_typed.size() < MostTyped)
            m_typed += c;
        showTyped();
        return;
    }
    if (m_typing && plain) {
        if (isSeparator(c)) {
            if (m_typed.size() < MostTyped)
                m_typed += c;
            showTyped();
            return;
        }
        if (e->key() == Qt::Key_Backspace) {
            m_typed.chop(1);
            if (m_typed.isEmpty())
                endTyping();
            else
                showTyped();
            return;
        }
        if (e->key() == Qt::Key_Escape) {
            endTyping();
            return;
        }
    }
    if (m_typing)
        commit();
    QDateEdit::keyPressEvent(e);
}

void DateBox::focusOutEvent(QFocusEvent* e)
{
    commit();
    QDateEdit::focusOutEvent(e);
}

void DateBox::mousePressEvent(QMouseEvent* e)
{
    commit();
    QDateEdit::mousePressEvent(e);
}

QValidator::State DateBox::validate(QString& text, int& pos) const
{
    if (m_typing)
        return QValidator::Intermediate;
    return QDateEdit::validate(text, pos);
}

} // namespace qv
