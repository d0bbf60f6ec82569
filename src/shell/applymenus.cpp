#include "shell/applymenus.h"

#include "shell/mdiform1.h"
#include "shell/mdl_connection.h"
#include "widgets/msgbox.h"

#include <QAction>

void ApplyMenus()
{
    MDIForm1* main = MDIForm1::instance();
    if (!main)
        return;
    main->showHomePanel();
    try {
        OpenRs(QStringLiteral("Select Active From Menus Where Active='1'"));
        if (Rs.recordCount() != 0) {
            OpenRs(QStringLiteral("Select Menus,Active From Menus"));
            const QList<QAction*> entries = main->menuEntries();
            Rs.moveFirst();
            for (int i = 0, n = Rs.recordCount(); i < n; ++i) {
                const QString caption = Rs.text(QStringLiteral("Menus"));
                const bool active = Rs.text(QStringLiteral("Active")) == QLatin1String("1");
                for (QAction* a : entries)
                    if (a->text() == caption)
                        a->setVisible(active);
                Rs.moveNext();
            }
        } else {
            // No right granted: the transaction and report menus go; the rest stays as it is.
            for (const char* name : {"mnuMainTrans", "mnuMainRpt", "Registeration"})
                if (QAction* a = main->menuEntry(QString::fromLatin1(name)))
                    a->setVisible(false);
        }
    } catch (const qv::DbError& e) {
        qv::Msg::critical(e.description());
    }
}
