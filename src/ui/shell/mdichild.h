#pragma once
// The base of every window that lives inside the main window's frame. Activation of its
// sub-window calls onActivated() (the finder hand-over and the lock window's reset hang on it);
// unload() closes and deletes it; a window that applies the menu rights when it closes says so.
#include <QWidget>

class QMdiSubWindow;

namespace qv {

class MdiChild : public QWidget {
    Q_OBJECT
public:
    explicit MdiChild(QWidget* parent = nullptr);

    // Called each time the window's sub-window becomes the active one.
    virtual void onActivated() {}
    // Close and release the window (its closeEvent runs, then it is deleted). False when the
    // window stays: the user kept work that is not saved.
    bool unload();
    // Hide the window but keep it loaded.
    void hideWindow();
    QMdiSubWindow* subWindow() const;
    // Where typing starts when the window opens (null: the toolkit's first control).
    QWidget* firstFocus() const { return m_firstFocus; }

    // Work on screen that is not saved and that a close, a Cancel or loading another record
    // would drop.
    virtual bool hasUnsavedWork() const { return false; }
    // True when nothing unsaved is on screen, or when the user agreed to drop it (No, the
    // default answer, keeps it).
    bool mayDropUnsavedWork();

protected:
    // Closing by any means asks first when there is unsaved work; a No keeps the window.
    void closeEvent(QCloseEvent* e) override;
    virtual QString unsavedQuestion() const;
    // Whether closing this window runs ApplyMenus (true for the working windows).
    bool m_applyMenusOnClose = true;
    QWidget* m_firstFocus = nullptr;
};

} // namespace qv
