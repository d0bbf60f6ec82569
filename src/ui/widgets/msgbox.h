#pragma once
// Every message box of the program goes through here (title "Quoravel" unless one is given),
// so that tests can read the text and give the answer through a hook.
#include <QMessageBox>
#include <QString>
#include <functional>
#include <optional>

namespace qv::Msg {

enum class Icon { Information, Critical, Question, Warning };

struct Message {
    QString text;
    QString title;
    Icon icon;
    QMessageBox::StandardButtons buttons;
    // The button Enter presses; NoButton leaves it to the toolkit (Ok, or Yes).
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

using Hook = std::function<QMessageBox::StandardButton(const Message&)>;
// Replaces the real boxes (null restores them). Returns the previous hook.
Hook setHook(Hook hook);

QMessageBox::StandardButton show(const QString& text, const QString& title, Icon icon,
                                 QMessageBox::StandardButtons buttons,
                                 QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
void info(const QString& text, const QString& title = {});
void critical(const QString& text, const QString& title = {});
bool askYesNo(const QString& text, const QString& title = {}, Icon icon = Icon::Question);
// A question before destroying something (a deletion, a removal): "No" is the default, so a
// stray Enter destroys nothing.
bool askDestructive(const QString& text, const QString& title = {}, Icon icon = Icon::Information);

// A line of text asked for (the first-run offer's lock password); nothing when cancelled, so
// that an empty answer can be told from a cancel.
using TextHook = std::function<std::optional<QString>(const QString& prompt, const QString& title, bool password)>;
TextHook setTextHook(TextHook hook);
std::optional<QString> askText(const QString& prompt, const QString& title, bool password);
// The least width of a box that asks for a line of text, so that its whole title shows.
int textDialogMinimumWidth(const QString& title, const QFont& font);

QString appTitle();

} // namespace qv::Msg
