#pragma once
// Reaching the administrative windows as a user does: the menu entry, the lock gate, the
// password typed and Enter pressed.
#include "shell/mdiform1.h"
#include "support/fixture.h"
#include "widgets/bound.h"

#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMdiSubWindow>

namespace qvt {

inline QWidget* gate(MDIForm1* m)
{
    return findWindow(m, QStringLiteral("frmLocPass"));
}

// Types into the gate's password box and presses Enter.
inline void typeAtGate(MDIForm1* m, const QString& password)
{
    QWidget* g = gate(m);
    QVERIFY(g);
    auto* box = g->findChild<QLineEdit*>(QStringLiteral("txtPassword"));
    QVERIFY(box);
    box->setFocus();
    QTest::keyClicks(box, password);
    QTest::keyClick(box, Qt::Key_Return);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Chooses `entry` in the main window and passes the gate with the right password.
inline void openThroughGate(MDIForm1* m, const QString& entry, const QString& lockPassword)
{
    m->menuEntry(entry)->trigger();
    typeAtGate(m, lockPassword);
}

// Whether a window sits at Left/Top (twips) in the frame.
inline bool placedAt(QWidget* w, int leftTwips, int topTwips)
{
    return qobject_cast<QMdiSubWindow*>(w->parentWidget())->pos() == QPoint(qv::twips(leftTwips), qv::twips(topTwips));
}

inline bool isLoaded(MDIForm1* m, const QString& name)
{
    return findWindow(m, name) != nullptr;
}

} // namespace qvt
