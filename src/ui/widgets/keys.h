#pragma once
// Keyboard helpers shared by the entry windows.
#include <QObject>
#include <QRegularExpression>

class QLineEdit;
class QWidget;

namespace qv {

// Enter (and keypad Enter) in `w` moves the focus on, as Tab does.
void enterAsTab(QWidget* w);
// Every typed character becomes upper case as it is typed.
void upperCase(QLineEdit* e);
// Only characters matching the one-character pattern (e.g. "[0-9 ,]") are accepted from the
// keyboard; Backspace and Enter always pass. Pasted text is filtered the same way.
void charFilter(QLineEdit* e, const QString& pattern);

class EnterAsTabFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class CharFilter : public QObject {
    Q_OBJECT
public:
    CharFilter(const QString& pattern, QObject* parent);
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool accepts(const QString& text) const;

private:
    QRegularExpression m_re;
};

} // namespace qv
