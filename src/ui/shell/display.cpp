#include "shell/display.h"

#include "shell/mdl_connection.h"

namespace qv {

namespace {
std::unique_ptr<DisplaySwitch>& current()
{
    static std::unique_ptr<DisplaySwitch> s;
    return s;
}
} // namespace

DisplaySwitch* displaySwitch()
{
    return current().get();
}
void setDisplaySwitch(std::unique_ptr<DisplaySwitch> s)
{
    current() = std::move(s);
}

void changeResolution(int width, int height, const AskYesNo& ask)
{
    DisplaySwitch* d = displaySwitch();
    if (!d || ScreenWidth == 1024)
        return;
    QSize mode = d->currentMode();
    mode = QSize(width, height);
    switch (d->apply(mode, false)) {
    case DisplaySwitch::Result::Success:
        d->apply(mode, true);
        d->broadcastChange(42, 0);
        break;
    case DisplaySwitch::Result::RestartRequired:
        if (ask
            && ask(QStringLiteral("You must restart your computer to apply these changes.\r\n\r\nDo you want to "
                                  "restart now?"),
                   QStringLiteral("Screen Resolution")))
            d->requestRestart();
        break;
    case DisplaySwitch::Result::Failed:
        break;
    }
}

} // namespace qv
