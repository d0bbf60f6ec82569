#pragma once
// The one way to open a working window: by its documented name ("frmJV", "frmAccount"). The menu
// entries and the windows themselves go through here. Windows are found by that name, never by
// their C++ class: the five voucher kinds share one class.
#include <QPoint>
#include <QString>
#include <functional>
#include <optional>

class MDIForm1;

namespace qv {
class MdiChild;

class Windows {
public:
    struct Definition {
        std::function<MdiChild*()> make; // a new window whose objectName is the name
        // Left/Top in twips where the window's description places it; nothing: the frame chooses.
        std::optional<QPoint> place;
        bool placeOnlyWhenNew = false;
        // After the window is shown and active; `fresh` when it was made for this call.
        std::function<void(MdiChild*, bool fresh)> shown;
    };

    // Defines (or, in tests, replaces) what the name opens.
    static void define(const QString& name, Definition d);
    static void define(const QString& name, std::function<MdiChild*()> make, std::optional<QPoint> place = {},
                       bool placeOnlyWhenNew = false, std::function<void(MdiChild*, bool)> shown = {})
    {
        Definition d;
        d.make = std::move(make);
        d.place = place;
        d.placeOnlyWhenNew = placeOnlyWhenNew;
        d.shown = std::move(shown);
        define(name, std::move(d));
    }
    static bool defined(const QString& name);
    // What the name opens now (empty when undefined); tests keep it to put it back.
    static Definition definition(const QString& name);

    // The loaded window of that name, or null.
    static MdiChild* find(const QString& name);
    template <class T> static T* find(const QString& name) { return qobject_cast<T*>(find(name)); }

    // The loaded window, or a new one; shown, placed as defined, and made the active one.
    // Null when the name is unknown or there is no frame.
    static MdiChild* open(const QString& name);
    template <class T> static T* open(const QString& name) { return qobject_cast<T*>(open(name)); }
    // Unloads a loaded window of that name first, so that a new one starts from scratch; one
    // whose user keeps its unsaved work is shown as it is instead.
    static MdiChild* openFresh(const QString& name);

    // A menu entry's action; the frame hides its home panel before running it.
    static void bindMenu(const QString& entry, std::function<void()> action);
    static void bindMenu(const QString& entry, const QString& window);
    // Runs a bound entry; false when the entry has no action (yet).
    static bool runMenu(const QString& entry);

    // Every subsystem's windows and menu entries (idempotent).
    static void defineAll();

    // Sizes and positions the user gave a window are kept between runs (QSettings): a window
    // placed by its description keeps its place and gets back only its size; a size that the
    // description fixes (the `shown` step) still wins.
    static void rememberGeometry(const MdiChild* w);
};

} // namespace qv
