#pragma once
// The frame window: the menu tree, the home panel and the MDI area every working window lives in.
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>

class QLabel;
class QTimer;

namespace qv {
class MdiChild;
class Windows;
} // namespace qv

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
    // True while the frame unloads its windows on the way out.
    bool closing() const { return m_closing; }

    QMdiArea* mdiArea() const { return m_area; }
    // Every entry of the menu tree (submenu entries included), in tree order.
    QList<QAction*> menuEntries() const;
    QAction* menuEntry(const QString& objectName) const;

    void updateDateLabel(const QDateTime& now);
    static QString dateLabelText(const QDateTime& now);

protected:
    // Closing the frame unloads every working window first, each through its own close step.
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class qv::Windows; // the one way windows come into the frame
    // Puts a window into the frame (not modal) and shows it; Left/Top in twips when given.
    QMdiSubWindow* showChild(qv::MdiChild* w, int leftTwips = -1, int topTwips = -1);
    void buildMenus();
    void buildHomePanel();
    void runEntry(const QString& name);
    void exitToLogin();
    // Unloads every working window, each through its own close step; false when one stays
    // (the user kept its unsaved work).
    bool unloadChildren();

    QMdiArea* m_area = nullptr;
    QWidget* m_picture = nullptr;
    QLabel* m_lblTitle = nullptr;
    QLabel* m_lblDate = nullptr;
    QTimer* m_timer = nullptr;
    bool m_closing = false;
};
