#include "registrations/registrationui.h"

#include "widgets/guarded.h"
#include "widgets/msgbox.h"
#include "widgets/named.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace qv::registrations {

QTabWidget* entryAndSearchTabs(QWidget* window, const QString& entryCaption,
                               const std::function<void(QWidget*)>& buildEntry, const QString& searchCaption,
                               const std::function<void(QWidget*)>& buildSearch)
{
    auto* tabs = named<QTabWidget>(window, "SSTab1");
    auto* entry = new QWidget(tabs);
    auto* search = new QWidget(tabs);
    buildEntry(entry);
    buildSearch(search);
    tabs->addTab(entry, entryCaption);
    tabs->addTab(search, searchCaption);
    auto* lay = new QVBoxLayout(window);
    lay->addWidget(tabs);
    return tabs;
}

QTableWidget* searchGrid(QWidget* tab, QObject* keys)
{
    auto* grid = named<QTableWidget>(tab, "Msh");
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->verticalHeader()->setVisible(false);
    grid->verticalHeader()->setDefaultSectionSize(20);
    grid->installEventFilter(keys);
    return grid;
}

QHBoxLayout* commandRow(QWidget* tab, QPushButton*& save, QPushButton*& del, QPushButton*& cancel, QPushButton*& print,
                        QPushButton*& exit)
{
    save = named<QPushButton>(tab, "cmdSave", QStringLiteral("&Save"));
    del = named<QPushButton>(tab, "cmdDelete", QStringLiteral("&DELETE"));
    cancel = named<QPushButton>(tab, "cmdCancel", QStringLiteral("&CANCEL"));
    print = named<QPushButton>(tab, "cmdPrint", QStringLiteral("&PRINT"));
    exit = named<QPushButton>(tab, "cmdExit", QStringLiteral("E&XIT"));
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton* b : {save, del, cancel, print, exit})
        row->addWidget(b);
    return row;
}

bool confirmAndDelete(const QString& key, const std::function<bool()>& remove, const QString& noSuch)
{
    if (key.isEmpty())
        return false;
    if (!Msg::askDestructive(QStringLiteral("Are you sure delete this information"), QStringLiteral("Confirm"),
                             Msg::Icon::Information))
        return false;
    bool deleted = false;
    if (!guarded([&] { deleted = remove(); }))
        return false;
    if (!deleted)
        Msg::info(noSuch);
    return deleted;
}

} // namespace qv::registrations
