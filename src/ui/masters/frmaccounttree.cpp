// The chart of accounts' tree: filling it, the node loaded as it becomes current, the
// right-button popup and its "Edit", expanding and collapsing.
#include "masters/accountcodes.h"
#include "masters/accountentry.h"
#include "masters/accounttree.h"
#include "masters/frmaccount.h"
#include "widgets/guarded.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

using namespace qv::accounts;
using qv::guarded;

void frmAccount::FillTreeData()
{
    lstTree->fill(m_store.treeRows());
}

QTreeWidgetItem* frmAccount::nodeByKey(const QString& key) const
{
    return lstTree->nodeByKey(key);
}

void frmAccount::EditAC(qint64 rowId)
{
    QTreeWidgetItem* item = lstTree->locate(QString::number(rowId));
    if (!item)
        return;
    selectNode(item);
    guarded([this] { FillData(); });
    // As after a click on the node: the level-1 and level-2 boxes stay closed.
    chkHead->setChecked(false);
    closeTitles();
}

void frmAccount::selectNode(QTreeWidgetItem* item)
{
    SelectedKey = item->data(0, qv::AccountTree::KeyRole).toString();
    setSelected(item->data(0, qv::AccountTree::TagRole).toString().trimmed().toLongLong());
}

void frmAccount::lstTree_NodeClick(QTreeWidgetItem* item)
{
    if (keepsWorkOver(item)) {
        RightButtonDown = false;
        return;
    }
    selectNode(item);
    guarded([this] { FillData(); });
    chkHead->setChecked(false);
    closeTitles();
    if (RightButtonDown && (LoadedStatus == Control || LoadedStatus == SubControl))
        mnuPop->exec(lstTree->viewport()->mapToGlobal(lstTree->visualItemRect(item).center()));
    RightButtonDown = false;
    LoadedStatus.clear();
}

// A node came into view as the current one (keys, typing, code): loaded as a click loads it,
// without the popup.
void frmAccount::lstTree_NodeShown(QTreeWidgetItem* item)
{
    if (keepsWorkOver(item))
        return;
    selectNode(item);
    guarded([this] { FillData(); });
    chkHead->setChecked(false);
    closeTitles();
    // RightButtonDown stays: a right press makes the node current before its click.
    LoadedStatus.clear();
}

void frmAccount::lstTree_Toggled()
{
    if (keepsWorkOver(lstTree->currentItem()))
        return;
    ClearAll();
    // A failure here is shown and does not stop the reset below.
    if (QTreeWidgetItem* item = lstTree->currentItem())
        selectNode(item);
    guarded([this] { FillData(); });
    setMode(Mode::Browse);
    closeTitles();
    chkHead->setChecked(false);
    frmEntry->hide();
}

void frmAccount::mnuEdit_Click()
{
    setMode(m_mode == Mode::NewAccount ? Mode::NewAccount : Mode::Change);
    chkHead->setChecked(false);
    chkHead->setEnabled(false);
    if (LoadedStatus == Control) {
        txtAcDes->setEnabled(true);
        txtOrder->setEnabled(true);
        txtAcDes->setFocus();
        txtSubControl->setEnabled(false);
        showSubControl(false);
    } else if (LoadedStatus == SubControl) {
        txtAcDes->setEnabled(false);
        txtOrder->setEnabled(false);
        txtSubControl->setEnabled(true);
        showSubControl(true);
        txtSubControl->setFocus();
    }
}
