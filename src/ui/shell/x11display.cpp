#include "shell/x11display.h"

#include <QGuiApplication>

#ifdef QUORAVEL_HAVE_XRANDR
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
// X's macro would clash with DisplaySwitch::Result::Success.
constexpr int XSuccess = Success;
#undef Success
#undef Status
using XStatus = int;
#endif

namespace qv {

#ifdef QUORAVEL_HAVE_XRANDR
namespace {
class X11Switch final : public DisplaySwitch {
public:
    explicit X11Switch(::Display* d)
        : m_dpy(d)
    {
    }
    ~X11Switch() override { XCloseDisplay(m_dpy); }

    QSize currentMode() override
    {
        int n = 0;
        XRRScreenSize* sizes = XRRSizes(m_dpy, DefaultScreen(m_dpy), &n);
        return n > 0 ? QSize(sizes[0].width, sizes[0].height) : QSize();
    }

    Result apply(QSize size, bool lasting) override
    {
        if (lasting)
            return Result::Success; // X keeps the mode until it is changed again
        const Window root = RootWindow(m_dpy, DefaultScreen(m_dpy));
        XRRScreenConfiguration* conf = XRRGetScreenInfo(m_dpy, root);
        if (!conf)
            return Result::Failed;
        int n = 0;
        XRRScreenSize* sizes = XRRConfigSizes(conf, &n);
        int index = -1;
        for (int i = 0; i < n; ++i)
            if (sizes[i].width == size.width() && sizes[i].height == size.height())
                index = i;
        Rotation rot;
        XRRConfigCurrentConfiguration(conf, &rot);
        const XStatus st = index < 0 ? 1 : XRRSetScreenConfig(m_dpy, conf, root, index, rot, CurrentTime);
        XRRFreeScreenConfigInfo(conf);
        return index >= 0 && st == XSuccess ? Result::Success : Result::Failed;
    }

    void broadcastChange(int, int) override { XFlush(m_dpy); } // X notifies its clients itself
    void requestRestart() override {}                          // never asked for under X

private:
    ::Display* m_dpy;
};
} // namespace
#endif

std::unique_ptr<DisplaySwitch> makePlatformDisplaySwitch()
{
#ifdef QUORAVEL_HAVE_XRANDR
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        int ev = 0, err = 0;
        if (::Display* d = XOpenDisplay(nullptr)) {
            if (XRRQueryExtension(d, &ev, &err))
                return std::make_unique<X11Switch>(d);
            XCloseDisplay(d);
        }
    }
#endif
    return nullptr;
}

} // namespace qv
