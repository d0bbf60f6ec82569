#include "widgets/keyrules.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>

namespace qv {

namespace {
bool isEnter(const QEvent* e)
{
    if (e->type() != QEvent::KeyPress)
        return false;
    const auto* ke = static_cast<const QKeyEvent*>(e);
    const auto mods = ke->modifiers() & ~Qt::KeypadModifier;
    return (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) && mods == Qt::NoModifier;
}

class ButtonEnter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (isEnter(e))
            if (auto* b = qobject_cast<QPushButton*>(watched); b && b->isEnabled()) {
                b->click();
                return true;
            }
        return QObject::eventFilter(watched, e);
    }
};

class GridEnter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (isEnter(e))
            if (auto* v = qobject_cast<QAbstractItemView*>(watched)) {
                const QModelIndex i = v->currentIndex();
                if (i.isValid())
                    emit v->doubleClicked(i);
                return true;
            }
        return QObject::eventFilter(watched, e);
    }
};

class FocusSelectsAll : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        // After the event: a mouse press that gave the focus would place the cursor again.
        if (e->type() == QEvent::FocusIn)
            if (auto* le = qobject_cast<QLineEdit*>(watched))
                QTimer::singleShot(0, le, [le] { le->selectAll(); });
        return QObject::eventFilter(watched, e);
    }
};
} // namespace

void enterPressesButtons(QWidget* root)
{
    for (QPushButton* b : root->findChildren<QPushButton*>()) {
        if (b->property("qvEnterPresses").toBool())
            continue;
        b->setProperty("qvEnterPresses", true);
        b->installEventFilter(new ButtonEnter(b));
    }
}

void tabKeys(QTabWidget* tabs)
{
    if (tabs->property("qvTabKeys").toBool())
        return;
    tabs->setProperty("qvTabKeys", true);
    auto step = [tabs](int by) {
        const int n = tabs->count();
        if (n < 2)
            return;
        int i = tabs->currentIndex();
        for (int k = 0; k < n; ++k) {
            i = (i + by + n) % n;
            if (tabs->isTabEnabled(i))
                break;
        }
        tabs->setCurrentIndex(i);
    };
    auto* next = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown), tabs);
    auto* prev = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp), tabs);
    for (QShortcut* s : {next, prev})
        s->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(next, &QShortcut::activated, tabs, [step] { step(1); });
    QObject::connect(prev, &QShortcut::activated, tabs, [step] { step(-1); });
}

void keyboardRules(QWidget* root)
{
    enterPressesButtons(root);
    for (QTabWidget* t : root->findChildren<QTabWidget*>())
        tabKeys(t);
}

void enterActsAsDoubleClick(QAbstractItemView* grid)
{
    grid->installEventFilter(new GridEnter(grid));
}

void selectAllOnFocus(QLineEdit* box)
{
    box->installEventFilter(new FocusSelectsAll(box));
}

void scrollHome(QAbstractItemView* grid)
{
    grid->horizontalScrollBar()->setValue(grid->horizontalScrollBar()->minimum());
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->minimum());
}

} // namespace qv
