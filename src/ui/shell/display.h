#pragma once
// The display-mode switch behind an interface: an X11 implementation under X, none elsewhere,
// a fake in tests. The resolution procedures follow the login window's algorithm.
#include <QSize>
#include <functional>
#include <memory>

namespace qv {

class DisplaySwitch {
public:
    enum class Result { Success, RestartRequired, Failed };
    virtual ~DisplaySwitch() = default;
    // Mode 0 of the primary display.
    virtual QSize currentMode() = 0;
    virtual Result apply(QSize size, bool lasting) = 0;
    virtual void broadcastChange(int wParam, int lParam) = 0;
    virtual void requestRestart() = 0;
};

// The switch in use; null when the platform has none (then nothing changes).
DisplaySwitch* displaySwitch();
void setDisplaySwitch(std::unique_ptr<DisplaySwitch> s);

using AskYesNo = std::function<bool(const QString& text, const QString& title)>;
// Switches to w x h unless the screen found at start-up is 1024 wide.
void changeResolution(int width, int height, const AskYesNo& ask);

} // namespace qv
