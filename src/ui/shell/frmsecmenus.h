#pragma once
// The menu-rights sheet: 28 check boxes, one per right, saved as the whole `Menus` table.
#include "shell/mdichild.h"

#include <QList>

class QCheckBox;
class QGroupBox;
class QPushButton;

class frmSecMenus : public qv::MdiChild {
    Q_OBJECT
public:
    explicit frmSecMenus(QWidget* parent = nullptr);

    // Ticks each box whose caption a stored row carries, as that row says.
    void OpenMenus();
    void cmdSave_Click();
    void Command1_Click();

    // The boxes in stored order.
    const QList<QCheckBox*>& boxes() const { return m_boxes; }

private:
    QGroupBox* Frame1;
    QGroupBox* Frame2;
    QPushButton* cmdSave;
    QPushButton* Command1;
    QList<QCheckBox*> m_boxes;
};
