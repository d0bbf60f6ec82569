#pragma once
// Every message box of the program goes through here (title "Quoravel" unless one is given),
// so that tests can read the text and give the answer through a hook.
#include <QMessageBox>
#include <QString>
#include <functional>

namespace qv::Msg {

enum class Icon { Information, Critical, Question, Warning };

struct Message {
    QString text;
    QString title;
    Icon icon;
    QMessageBox::StandardButtons buttons;
};

using Hook = std::function<QMessageBox::StandardButton(const Message&)>;
// Replaces the real boxes (null restores them). Returns the previous hook.
Hook setHook(Hook hook);

QMessageBox::StandardButton show(const QString& text, const QString& title, Icon icon,
                                 QMessageBox::StandardButtons buttons);
void info(const QString& text, const QString& title = {});
void critical(const QString& text, const QString& title = {});
bool askYesNo(const QString& text, const QString& title = {}, Icon icon = Icon::Question);

// A line of text asked for (the first-run offer's lock password); empty when cancelled.
using TextHook = std::function<QString(const QString& prompt, const QString& title, bool password)>;
TextHook setTextHook(TextHook hook);
QString askText(const QString& prompt, const QString& title, bool password);

QString appTitle();

} // namespace qv::Msg
