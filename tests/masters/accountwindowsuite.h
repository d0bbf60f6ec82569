#pragma once
// The chart-of-accounts window driven as a user drives it, shared by its suites: boxes and
// buttons by name, the tree's nodes clicked with either button, the window's mode at a glance.
#include "shell/windows.h"
#include "masters/frmaccount.h"
#include "viewer/frmveiwer.h"
#include "reportengine/report.h"
#include "viewer/reportviewer.h"
#include "db/recordset.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>

namespace qvt {

// Each test opens the chart of accounts on a fresh book (the demo company unless `demo` is
// false) with the main window active.
class AccountWindowSuite : public QObject {
protected:
    qvt::AppFixture app;
    frmAccount* win = nullptr;

    template <class T = QLineEdit> T* get(const char* name) { return qvt::child<T>(win, name); }
    QTreeWidget* tree() { return get<QTreeWidget>("lstTree"); }
    // The search grid, read through its model.
    QTableView* grid() { return get<QTableView>("mshSearch"); }
    int gridRows() { return grid()->model()->rowCount(); }
    QPushButton* button(const char* name) { return get<QPushButton>(name); }
    QString caption() { return button("cmdCreateAc")->text(); }
    QTreeWidgetItem* node(const QString& key) { return win->nodeByKey(key); }
    qint64 rowIdOf(const QString& code)
    {
        return Conn.scalar("select RowID from Accounts where AcNodes = ?", {code}).toLongLong();
    }
    qint64 count(const QString& where = "1=1")
    {
        return Conn.scalar("select count(*) from Accounts where " + where).toLongLong();
    }
    // Columns of the account with that code, as texts joined by "|" ("<null>" for null).
    QString cols(const QString& code, const QStringList& names)
    {
        qv::RecordSet rs;
        rs.open("select * from Accounts where AcNodes = ?", Conn, {code});
        if (rs.recordCount() == 0)
            return "<none>";
        rs.moveFirst();
        QStringList out;
        for (const QString& n : names)
            out << (rs.isNull(n) ? QString("<null>") : rs.text(n));
        return out.join('|');
    }
    // The window's mode at a glance: the main button's caption; each title box "+" open, "-"
    // closed, "." hidden; the "Controle Account" box open or closed; the detail panel shown.
    QString mode()
    {
        auto state = [](const QWidget* w) { return w->isHidden() ? "." : w->isEnabled() ? "+" : "-"; };
        return caption() + " AcDes" + state(get("txtAcDes")) + " Order" + state(get("txtOrder")) + " Sub"
               + state(get("txtSubControl")) + " Head" + state(get<QCheckBox>("chkHead")) + " Entry"
               + state(get<QGroupBox>("frmEntry"));
    }

    void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
    void clickNode(const QString& key, Qt::MouseButton b = Qt::LeftButton)
    {
        QTreeWidgetItem* item = node(key);
        QVERIFY2(item, qPrintable(key));
        tree()->scrollToItem(item); // opens the heads above it, as a user would
        QTest::mouseClick(tree()->viewport(), b, {}, tree()->visualItemRect(item).center());
    }
    // A right click; the popup, when it shows, is answered with "Edit" or dismissed.
    bool rightClick(const QString& key, bool chooseEdit)
    {
        bool seen = false;
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            poll.stop();
            seen = menu->objectName() == "mnuPop" && menu->actions().size() == 1
                   && menu->actions().first()->text() == "Edit";
            if (chooseEdit)
                menu->setActiveAction(menu->actions().first());
            QTest::keyClick(menu, chooseEdit ? Qt::Key_Return : Qt::Key_Escape);
        });
        poll.start();
        clickNode(key, Qt::RightButton);
        // Without a window manager the offscreen platform may leave no widget focused once the
        // popup has gone: activate the frame again, as a window manager would. The box the
        // window gave the focus to gets it back.
        QCoreApplication::processEvents();
        if (!QApplication::focusWidget()) {
            QApplication::setActiveWindow(nullptr);
            QApplication::setActiveWindow(app.main());
        }
        return seen;
    }
    // Focus on the box, cursor home, then the keys.
    void typeInto(const char* name, const QString& text)
    {
        get(name)->setFocus();
        QTest::keyClick(get(name), Qt::Key_Home);
        QTest::keyClicks(get(name), text);
    }
    void retype(const char* name, const QString& text)
    {
        get(name)->setFocus();
        QTest::keyClick(get(name), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(get(name), Qt::Key_Backspace);
        typeInto(name, text);
    }
    void addSpare()
    {
        Conn.execute("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) values ('1.1.9', 'SPARE', "
                     "'DD', '1.1', 9)");
        win->FillTreeData();
    }

    void openChart(bool demo)
    {
        app.start(demo);
        app.main()->menuEntry("mnuChartOfAC")->trigger();
        win = qv::Windows::find<frmAccount>("frmAccount");
        QVERIFY(win);
        QApplication::setActiveWindow(app.main());
    }
    void closeChart()
    {
        win = nullptr;
        app.stop();
    }
};

} // namespace qvt
