#pragma once
// Unsaved work on screen: a window takes a snapshot of its entry boxes each time they hold what
// is stored (after a load, a save, a clear), and has unsaved work while they differ from it.
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>

namespace qv {

class EntrySnapshot {
public:
    // The boxes whose contents count: line edits, text edits, combo boxes, check and option
    // boxes, date boxes and entry grids.
    void watch(const QList<QWidget*>& boxes);
    // The boxes as they are now hold nothing unsaved.
    void take();
    bool changed() const;

private:
    QStringList state() const;
    QList<QPointer<QWidget>> m_boxes;
    QStringList m_taken;
};

// Asks before unsaved work is dropped; No is the default. True when the user says drop it.
bool askDropUnsaved(const QString& question);

} // namespace qv
