#pragma once
// The frame window: the menu tree, the home panel and the MDI area every working window lives in.
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <functional>

class QLabel;
class QTimer;

namespace qv {
class MdiChild;
}

class MDIForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit MDIForm1(QWidget* parent = nullptr);
    ~MDIForm1() override;
    static MDIForm1* instance();

    // Hides the home panel; every menu action but "E&xit" starts with it.
    void close_Menu();
    void showHomePanel();
    bool homePanelVisible() const;

    QMdiArea* mdiArea() const { return m_area; }
    // Every entry of the menu tree (submenu entries included), in tree order.
    QList<QAction*> menuEntries() const;
    QAction* menuEntry(const QString& objectName) const;

    // Puts a window into the frame (not modal) and shows it; Left/Top in twips when given.
    QMdiSubWindow* showChild(qv::MdiChild* w, int leftTwips = -1, int topTwips = -1);
    // The loaded window of that type, if any.
    template <class T> T* loaded() const
    {
        for (QMdiSubWindow* sw : m_area->subWindowList())
            if (T* w = qobject_cast<T*>(sw->widget()))
                return w;
        return nullptr;
    }
    // The loaded window of that type, or a new one; shown and activated.
    template <class T> T* open(int leftTwips = -1, int topTwips = -1)
    {
        T* w = loaded<T>();
        if (!w) {
            w = new T();
            showChild(w, leftTwips, topTwips);
        } else {
            showChild(w, leftTwips, topTwips);
        }
        return w;
    }

    // Menu actions are wired here by the subsystems; an entry without an action does nothing.
    // Windows are also registered under their own names ("frmAccount", "frmLocPass"), so that
    // one subsystem can open another's window without depending on its class.
    using Opener = std::function<void(MDIForm1*)>;
    static void registerOpener(const QString& entry, Opener opener);
    // Runs the opener registered under `key` (no close_Menu); false when there is none.
    bool runOpener(const QString& key);

    void updateDateLabel(const QDateTime& now);
    static QString dateLabelText(const QDateTime& now);

protected:
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildHomePanel();
    void runEntry(const QString& name);
    void exitToLogin();

    QMdiArea* m_area = nullptr;
    QWidget* m_picture = nullptr;
    QLabel* m_lblTitle = nullptr;
    QLabel* m_lblDate = nullptr;
    QTimer* m_timer = nullptr;
};
