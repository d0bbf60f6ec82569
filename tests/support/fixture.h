#pragma once
// Test support for windows: a logged-in main window, a recorder for message boxes, and widgets
// found by objectName.
#include "shell/mdiform1.h"
#include "support/dbfixture.h"
#include "widgets/msgbox.h"

#include <QList>
#include <QPointer>

namespace qvt {

// A fresh database, the shared connection open on it, and a logged-in main window.
class AppFixture {
public:
    void start(bool demo = false);
    void stop();
    MDIForm1* main() const { return m_main; }
    const TestDb& db() const { return m_db; }

private:
    TestDb m_db;
    QPointer<MDIForm1> m_main;
};

// Records every message box; answers with the queued buttons (default: Ok / Yes).
class MsgRecorder {
public:
    MsgRecorder();
    ~MsgRecorder();
    QList<qv::Msg::Message> seen;
    QList<QMessageBox::StandardButton> answers;
    QStringList textAnswers;
    QStringList texts() const;
    QString last() const { return seen.isEmpty() ? QString() : seen.last().text; }
    void clear() { seen.clear(); }

private:
    qv::Msg::Hook m_old;
    qv::Msg::TextHook m_oldText;
};

// A widget that must exist under `parent`, by objectName; a missing one ends the test at once.
template <class T> T* child(const QObject* parent, const char* name)
{
    T* w = parent->findChild<T*>(QLatin1String(name));
    if (!w)
        qFatal("no widget %s", name);
    return w;
}

// A child window of the main window's MDI area, by objectName.
template <class T = QWidget> T* findWindow(MDIForm1* main, const QString& name)
{
    for (QMdiSubWindow* sw : main->mdiArea()->subWindowList())
        if (sw->widget() && sw->widget()->objectName() == name)
            return qobject_cast<T*>(sw->widget());
    return nullptr;
}

} // namespace qvt
