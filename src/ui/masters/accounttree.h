#pragma once
// The chart's tree control and the small pieces of the account window's entry boxes.
#include "masters/accountlist.h"
#include "masters/accountstore.h"

#include <QHash>
#include <QIcon>
#include <QTreeWidget>
#include <QValidator>

class QTableView;

namespace qv {

class AccountSearchModel;

// A tree that tells the window about the user's own node clicks (left or right button), every
// node that comes into view as the current one, however it came (keys, typing a title's first
// letter, Space, code), the popup asked for from the keyboard, and the user's own expanding
// and collapsing, apart from the changes the window makes in code while it rebuilds the tree.
class AccountTree : public QTreeWidget {
    Q_OBJECT
public:
    // Each node keeps its account's RowID (the tag) and its key ("'3.2'").
    static constexpr int TagRole = Qt::UserRole;
    static constexpr int KeyRole = Qt::UserRole + 1;

    explicit AccountTree(QWidget* parent = nullptr);

    // Empties the tree and puts in the accounts, each under its head; the rows come in text
    // order of their codes, so a head always comes before the accounts under it.
    void fill(const std::vector<AccountNode>& rows);
    QTreeWidgetItem* nodeByKey(const QString& key) const { return m_nodes.value(key); }
    // Finds the node whose tag is `tag`, walking every node in order: that node is expanded,
    // selected and given the focus, every other node collapsed. Null when there is none.
    QTreeWidgetItem* locate(const QString& tag);
    // After a save: the heads above `code` are expanded; a new account's node is expanded too,
    // an edited account's node is selected and the tree takes the focus. Missing nodes are
    // passed over.
    void openBranch(const QString& code, bool edited);

    // Images 1, 2 and 3: control, sub-control and subsidiary accounts.
    static QIcon image(int index);

signals:
    void mouseDown(Qt::MouseButton button);
    void nodeClick(QTreeWidgetItem* item);
    void nodeToggled(QTreeWidgetItem* item);
    // A node became the current (or the selected) one and is not the one reported last.
    void nodeShown(QTreeWidgetItem* item);
    // Shift+F10 or the Menu key on the current node.
    void popupKey(QTreeWidgetItem* item);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    QTreeWidgetItem* m_pressed = nullptr;
    bool m_pressToggled = false;
    int m_userDepth = 0; // inside a user's event: expansions are the user's
    bool m_toggled = false;
    QHash<QString, QTreeWidgetItem*> m_nodes;
    QTreeWidgetItem* m_shown = nullptr; // the node reported last
    bool m_filling = false;
    bool m_focusing = false;
    bool m_keyPopup = false; // a popup key was handled; its context-menu event is not another

    void show(QTreeWidgetItem* item);
};

// The search grid (mshSearch): a read-only view over an AccountSearchModel of its own, whole rows
// selected; ten columns (RowID hidden), filled from AccountStore::search.
QTableView* newSearchGrid(QWidget* parent);
AccountSearchModel* searchModel(const QTableView* grid);
void fillSearchGrid(QTableView* grid, AccountMatches rows);
void formatSearchGrid(QTableView* grid);

} // namespace qv
