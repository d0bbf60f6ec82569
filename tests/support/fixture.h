#pragma once
// Test support for windows: a logged-in main window, a recorder for message boxes, and widgets
// found by objectName.
#include "shell/mdiform1.h"
#include "support/dbfixture.h"
#include "widgets/msgbox.h"

#include <QAbstractItemView>
#include <QList>
#include <QPointer>
#include <QStandardItemModel>
#include <QTimer>
#include <type_traits>

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
    QStringList textAnswers; // answers to askText; none left: cancelled
    QStringList prompts;     // what askText asked
    QStringList texts() const;
    QString last() const { return seen.isEmpty() ? QString() : seen.last().text; }
    void clear() { seen.clear(); }

private:
    qv::Msg::Hook m_old;
    qv::Msg::TextHook m_oldText;
};

// Answers the real message boxes shown while it lives by pressing Enter, as a hurried user
// would; records their texts and which button Enter pressed.
class EnterOnBoxes : public QObject {
public:
    EnterOnBoxes();
    QStringList texts;
    QStringList pressed;

private:
    QTimer m_poll;
    QPointer<QMessageBox> m_last;
};

// A widget that must exist under `parent`, by objectName. A missing one fails the current test
// only: the failure is recorded at once and an empty stand-in of the asked type comes back, so
// the rest of the test runs on harmlessly and the suite goes on with the next test (a missing
// widget used to end the whole suite). The stand-in is never shown and is left to the process.
template <class T> T* child(const QObject* parent, const char* name)
{
    if (T* w = parent->findChild<T*>(QLatin1String(name)))
        return w;
    QTest::qFail(
        qPrintable(QStringLiteral("no widget %1 (%2) under %3")
                       .arg(QLatin1String(name), QLatin1String(T::staticMetaObject.className()), parent->objectName())),
        __FILE__, __LINE__);
    T* standIn = new T();
    standIn->setObjectName(QLatin1String(name));
    if constexpr (std::is_base_of_v<QAbstractItemView, T>) {
        auto* view = static_cast<QAbstractItemView*>(standIn);
        if (!view->model())
            view->setModel(new QStandardItemModel(view));
    }
    return standIn;
}

// The text of a grid's cell, and one column's texts of the lines whose first column is not
// empty (a grid that found nothing keeps a blank line).
QString cellText(const QAbstractItemView* grid, int row, int column);
QStringList columnTexts(const QAbstractItemView* grid, int column);

// A child window of the main window's MDI area, by objectName.
template <class T = QWidget> T* findWindow(MDIForm1* main, const QString& name)
{
    for (QMdiSubWindow* sw : main->mdiArea()->subWindowList())
        if (sw->widget() && sw->widget()->objectName() == name)
            return qobject_cast<T*>(sw->widget());
    return nullptr;
}

} // namespace qvt
