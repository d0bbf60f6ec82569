#pragma once
// The one date box of the program. It shows dd-mm-yyyy, and a date typed as digits, with or
// without separators ("10122026", "10-12-2026", "1/7/26"), is read from its first section
// whatever section was selected: the first digit starts the date afresh. The typed date is
// taken when the box is left, or on Enter; one that names no date leaves the box as it was and
// the status bar says so. The arrow keys and the calendar work as in any date box.
#include <QDateEdit>
#include <optional>

namespace qv {

class DateBox : public QDateEdit {
    Q_OBJECT
public:
    explicit DateBox(QWidget* parent = nullptr);
    explicit DateBox(const QDate& date, QWidget* parent = nullptr);

    // The date that typed text names; a missing year, or month and year, is the shown date's.
    // Digits alone: d, dd (the day), ddmm, ddmmyy, ddmmyyyy; with separators (- / . or blank):
    // d-m, d-m-yy, d-m-yyyy. A two-digit year is in 2000-2099. Nothing when it names no date.
    static std::optional<QDate> readTyped(const QString& typed, const QDate& shown);
    static const QString& format(); // dd-MM-yyyy

    bool typing() const { return m_typing; }
    // Takes the date typed so far (Enter does, before it moves on); false, and said in the
    // status bar, when the typed text names no date: the box then keeps its date.
    bool commitTyped() { return commit(); }

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    QValidator::State validate(QString& text, int& pos) const override;

private:
    void showTyped();
    void endTyping(); // back to the date's own text
    bool commit();    // takes the typed date; false (and said) when it names none

    QString m_typed;
    bool m_typing = false;
};

} // namespace qv
