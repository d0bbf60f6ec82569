#pragma once
// What the category and application windows share: their two tabs, the search grid, their row
// of commands and the step that asks before deleting the row on screen.
#include <QString>
#include <functional>

class QHBoxLayout;
class QObject;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QWidget;

namespace qv::registrations {

// The window's "SSTab1" filling it: the entry tab, then the search tab, each built by its step.
QTabWidget* entryAndSearchTabs(QWidget* window, const QString& entryCaption,
                               const std::function<void(QWidget*)>& buildEntry, const QString& searchCaption,
                               const std::function<void(QWidget*)>& buildSearch);

// The search tab's read-only grid "Msh", one whole row picked at a time; its keys go to `keys`.
QTableWidget* searchGrid(QWidget* tab, QObject* keys);

// "&Save", "&DELETE", "&CANCEL", "&PRINT", "E&XIT", right-aligned in one row.
QHBoxLayout* commandRow(QWidget* tab, QPushButton*& save, QPushButton*& del, QPushButton*& cancel, QPushButton*& print,
                        QPushButton*& exit);

// Asks "Are you sure delete this information" (title "Confirm") for the row `key`; on Yes runs
// `remove`, which says whether the row was there. True when it was deleted; a missing row
// is reported with `noSuch`, a database error through the usual guarded step.
bool confirmAndDelete(const QString& key, const std::function<bool()>& remove, const QString& noSuch);

} // namespace qv::registrations
