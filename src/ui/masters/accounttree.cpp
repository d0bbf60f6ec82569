#include "masters/accounttree.h"

#include "masters/accountcodes.h"
#include "masters/searchmodel.h"
#include "widgets/bound.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTableView>
#include <QTimer>
#include <QTreeWidgetItemIterator>

namespace qv {

AccountTree::AccountTree(QWidget* parent)
    : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    auto toggled = [this](QTreeWidgetItem* item) {
        if (m_userDepth > 0) {
            m_toggled = true;
            emit nodeToggled(item);
        }
    };
    connect(this, &QTreeWidget::itemExpanded, this, toggled);
    connect(this, &QTreeWidget::itemCollapsed, this, toggled);
    // The node in view is the node loaded: a highlight that "&New" would not follow is a trap.
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* now) {
        if (!m_filling && !m_focusing)
            show(now);
    });
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> sel = selectedItems();
        if (!m_filling && !sel.isEmpty())
            show(sel.first());
    });
}

void AccountTree::show(QTreeWidgetItem* item)
{
    if (!item || item == m_shown)
        return;
    m_shown = item;
    emit nodeShown(item);
}

void AccountTree::fill(const std::vector<AccountNode>& rows)
{
    // Built apart and put in at once.
    QList<QTreeWidgetItem*> roots;
    QHash<QString, QTreeWidgetItem*> nodes;
    nodes.reserve(int(rows.size()));
    const QIcon images[] = {image(1), image(2), image(3)};
    for (const AccountNode& n : rows) {
        const int level = accounts::levelOf(n.status);
        if (level == 0)
            continue;
        // A control account's key is its ParentID, the others' their code.
        const QString key = accounts::nodeKey(level == 1 ? n.parentId : n.code);
        QTreeWidgetItem* parent = nullptr;
        if (level > 1) {
            parent = nodes.value(accounts::nodeKey(n.parentId));
            if (!parent)
                continue; // its head is missing: no place in the tree
        }
        if (nodes.contains(key))
            continue; // a second row with the same code
        auto* item = new QTreeWidgetItem(QStringList(n.title));
        item->setIcon(0, images[level - 1]);
        item->setData(0, TagRole, QString::number(n.rowId));
        item->setData(0, KeyRole, key);
        nodes.insert(key, item);
        if (parent)
            parent->addChild(item);
        else
            roots << item;
    }
    m_filling = true;
    m_shown = nullptr;
    clear();
    addTopLevelItems(roots);
    m_nodes = std::move(nodes);
    m_filling = false;
}

QTreeWidgetItem* AccountTree::locate(const QString& tag)
{
    QTreeWidgetItem* found = nullptr;
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        QTreeWidgetItem* item = *it;
        if (item->data(0, TagRole).toString() != tag) {
            item->setExpanded(false);
            continue;
        }
        found = item;
        setFocus();
        item->setExpanded(true);
        for (QTreeWidgetItem* p = item->parent(); p; p = p->parent())
            p->setExpanded(true);
        setCurrentItem(item);
        scrollToItem(item);
    }
    return found;
}

void AccountTree::openBranch(const QString& code, bool edited)
{
    for (const QString& head : accounts::ancestorCodes(code))
        if (QTreeWidgetItem* item = nodeByKey(accounts::nodeKey(head)))
            item->setExpanded(true);
    QTreeWidgetItem* item = nodeByKey(accounts::nodeKey(code));
    if (!edited) {
        if (item)
            item->setExpanded(true);
        return;
    }
    setFocus();
    if (item) {
        setCurrentItem(item);
        scrollToItem(item);
    }
}

void AccountTree::mousePressEvent(QMouseEvent* e)
{
    emit mouseDown(e->button());
    m_pressed = itemAt(e->position().toPoint());
    m_toggled = false;
    ++m_userDepth;
    QTreeWidget::mousePressEvent(e);
    --m_userDepth;
    // A press on the branch sign opens or closes the branch; it is not a click on the node.
    m_pressToggled = m_toggled;
}

void AccountTree::mouseReleaseEvent(QMouseEvent* e)
{
    QTreeWidget::mouseReleaseEvent(e);
    QTreeWidgetItem* item = itemAt(e->position().toPoint());
    QTreeWidgetItem* pressed = m_pressed;
    m_pressed = nullptr;
    if (item && item == pressed && !m_pressToggled) {
        setCurrentItem(item);
        m_shown = item;
        emit nodeClick(item);
    }
}

void AccountTree::mouseDoubleClickEvent(QMouseEvent* e)
{
    ++m_userDepth;
    QTreeWidget::mouseDoubleClickEvent(e);
    --m_userDepth;
}

void AccountTree::keyPressEvent(QKeyEvent* e)
{
    emit mouseDown(Qt::LeftButton); // a key is never the right button
    const bool popup = e->key() == Qt::Key_Menu
                       || (e->key() == Qt::Key_F10 && (e->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier);
    if (popup) {
        if (QTreeWidgetItem* item = currentItem()) {
            m_keyPopup = true;
            QTimer::singleShot(0, this, [this] { m_keyPopup = false; });
            emit popupKey(item);
        }
        e->accept();
        return;
    }
    // The node the keys move to (or select with Space) is reported through nodeShown.
    ++m_userDepth;
    QTreeWidget::keyPressEvent(e);
    --m_userDepth;
}

void AccountTree::focusInEvent(QFocusEvent* e)
{
    // The toolkit marks a first node current on focus without selecting it; that mark alone
    // loads nothing (Space or a move then does).
    m_focusing = true;
    QTreeWidget::focusInEvent(e);
    m_focusing = false;
}

void AccountTree::contextMenuEvent(QContextMenuEvent* e)
{
    // The mouse's popup follows the right-button click; the keyboard's comes here on some
    // platforms as well as through keyPressEvent.
    if (e->reason() == QContextMenuEvent::Keyboard && !m_keyPopup)
        if (QTreeWidgetItem* item = currentItem())
            emit popupKey(item);
    e->accept();
}

QIcon AccountTree::image(int index)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
    switch (index) {
    case 1: { // a closed ledger folder
        p.setBrush(QColor(0xe8, 0xb4, 0x2c));
        QPainterPath tab;
        tab.addRoundedRect(QRectF(1.5, 3.5, 6, 3), 1, 1);
        p.drawPath(tab);
        p.drawRoundedRect(QRectF(1.5, 5.5, 13, 9), 1.5, 1.5);
        break;
    }
    case 2: // a folder with its pages showing
        p.setBrush(QColor(0x7f, 0xa7, 0xd9));
        p.drawRoundedRect(QRectF(1.5, 3.5, 13, 11), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 8, 6));
        p.setBrush(QColor(0x4f, 0x7f, 0xbf));
        p.drawRoundedRect(QRectF(1.5, 7.5, 13, 7), 1.5, 1.5);
        break;
    default: // a ledger page
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3.5, 1.5, 9, 13));
        p.setPen(QPen(QColor(0x2e, 0x8b, 0x57), 1));
        for (int y = 5; y <= 12; y += 3)
            p.drawLine(QPointF(5.5, y + 0.5), QPointF(10.5, y + 0.5));
        break;
    }
    return QIcon(pm);
}

QTableView* newSearchGrid(QWidget* parent)
{
    auto* grid = new QTableView(parent);
    grid->setObjectName(QStringLiteral("mshSearch"));
    grid->setModel(new AccountSearchModel(grid));
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setWordWrap(false);
    // Rows of one fixed height: the view places thousands of them without measuring any.
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    return grid;
}

AccountSearchModel* searchModel(const QTableView* grid)
{
    return qobject_cast<AccountSearchModel*>(grid->model());
}

void fillSearchGrid(QTableView* grid, AccountMatches rows)
{
    searchModel(grid)->setRows(std::move(rows));
}

void formatSearchGrid(QTableView* grid)
{
    // The headers come from the model; the widths are the grid's.
    for (int i = 0; i < AccountSearchModel::Columns; ++i)
        grid->setColumnWidth(i, twips(AccountSearchModel::widthTwips(i)));
    grid->setColumnHidden(0, true);
}

} // namespace qv
