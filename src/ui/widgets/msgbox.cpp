#include "widgets/msgbox.h"

#include <QApplication>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLabel>

#include <algorithm>

namespace qv::Msg {

namespace {
Hook& hookRef()
{
    static Hook h;
    return h;
}
TextHook& textHookRef()
{
    static TextHook h;
    return h;
}
} // namespace

int textDialogMinimumWidth(const QString& title, const QFont& font)
{
    // A short prompt makes a narrow box, whose frame would cut its title: the title bar's own
    // font is larger and bold, and its buttons take room too.
    QFont titleFont(font);
    titleFont.setBold(true);
    titleFont.setPointSizeF(font.pointSizeF() * 1.25);
    return std::max(360, QFontMetrics(titleFont).horizontalAdvance(title) + 200);
}

QString appTitle()
{
    return QStringLiteral("Quoravel");
}

Hook setHook(Hook hook)
{
    Hook old = std::move(hookRef());
    hookRef() = std::move(hook);
    return old;
}

TextHook setTextHook(TextHook hook)
{
    TextHook old = std::move(textHookRef());
    textHookRef() = std::move(hook);
    return old;
}

QMessageBox::StandardButton show(const QString& text, const QString& title, Icon icon,
                                 QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    const Message m{text, title.isEmpty() ? appTitle() : title, icon, buttons, defaultButton};
    if (hookRef())
        return hookRef()(m);
    QMessageBox::Icon qicon = QMessageBox::Information;
    switch (icon) {
    case Icon::Critical:
        qicon = QMessageBox::Critical;
        break;
    case Icon::Question:
        qicon = QMessageBox::Question;
        break;
    case Icon::Warning:
        qicon = QMessageBox::Warning;
        break;
    case Icon::Information:
        break;
    }
    QMessageBox box(qicon, m.title, m.text, buttons, QApplication::activeWindow());
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return QMessageBox::StandardButton(box.exec());
}

void info(const QString& text, const QString& title)
{
    show(text, title, Icon::Information, QMessageBox::Ok);
}

void critical(const QString& text, const QString& title)
{
    show(text, title, Icon::Critical, QMessageBox::Ok);
}

bool askYesNo(const QString& text, const QString& title, Icon icon)
{
    return show(text, title, icon, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool askDestructive(const QString& text, const QString& title, Icon icon)
{
    return show(text, title, icon, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

std::optional<QString> askText(const QString& prompt, const QString& title, bool password)
{
    if (textHookRef())
        return textHookRef()(prompt, title, password);
    QInputDialog dlg(QApplication::activeWindow());
    dlg.setWindowTitle(title.isEmpty() ? appTitle() : title);
    dlg.setLabelText(prompt);
    dlg.setTextEchoMode(password ? QLineEdit::Password : QLineEdit::Normal);
    // The dialog's layout fixes its size from its contents: the prompt is what is made wider.
    if (auto* label = dlg.findChild<QLabel*>())
        label->setMinimumWidth(textDialogMinimumWidth(dlg.windowTitle(), dlg.font()));
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return dlg.textValue();
}

} // namespace qv::Msg
