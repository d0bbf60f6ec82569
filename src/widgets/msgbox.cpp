#include "widgets/msgbox.h"

#include <QApplication>
#include <QInputDialog>

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
    bool ok = false;
    const QString t = QInputDialog::getText(QApplication::activeWindow(), title.isEmpty() ? appTitle() : title, prompt,
                                            password ? QLineEdit::Password : QLineEdit::Normal, {}, &ok);
    if (!ok)
        return std::nullopt;
    return t;
}

} // namespace qv::Msg
