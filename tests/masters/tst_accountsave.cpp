// What "&Save" of the chart of accounts does for each state of the window, decided without it.
#include "masters/accountcodes.h"
#include "masters/accountsave.h"

#include <QTest>

using namespace qv::accounts;

namespace {
qv::AccountNode node(qint64 id, const QString& status, const QString& code)
{
    qv::AccountNode n;
    n.rowId = id;
    n.status = status;
    n.code = code;
    return n;
}

SaveState selected(const qv::AccountNode& n, bool newAccount)
{
    SaveState s;
    s.hasSelection = true;
    s.selected = n;
    s.newAccount = newAccount;
    return s;
}
} // namespace

class TstAccountSave : public QObject {
    Q_OBJECT
private slots:
    void levelFollowsTheSelectedNode()
    {
        const auto control = node(7, Control, "3");
        const auto sub = node(8, SubControl, "3.1");
        const auto leaf = node(9, Subsidiary, "3.1.4");
        QCOMPARE(planSave(selected(control, true)).action, SaveAction::AddSubControl);
        QCOMPARE(planSave(selected(control, true)).requiredTitle, TitleBox::SubControl);
        QCOMPARE(planSave(selected(control, false)).action, SaveAction::RenameControl);
        QCOMPARE(planSave(selected(sub, true)).action, SaveAction::AddSubsidiary);
        QCOMPARE(planSave(selected(sub, true)).requiredTitle, TitleBox::Subsidiary);
        QCOMPARE(planSave(selected(sub, false)).action, SaveAction::RenameSubControl);
        QCOMPARE(planSave(selected(sub, false)).requiredTitle, TitleBox::SubControl);
        QCOMPARE(planSave(selected(leaf, false)).action, SaveAction::UpdateSubsidiary);
        // The branch opened after a change is the changed account's own.
        QCOMPARE(planSave(selected(leaf, false)).code, QString("3.1.4"));
    }

    void tickAndSelectionDecideBeforeTheNode()
    {
        SaveState s = selected(node(8, SubControl, "3.1"), true);
        s.controlTicked = true;
        QCOMPARE(planSave(s).action, SaveAction::AddControl);
        QCOMPARE(planSave(s).self, 0);
        QCOMPARE(planSave(SaveState{}).action, SaveAction::NothingSelected);
        SaveState gone;
        gone.hasSelection = true; // selected, but deleted by another station meanwhile
        QCOMPARE(planSave(gone).action, SaveAction::SelectedGone);
    }

    // An account being retitled does not count against its own title; a new one has no self.
    void duplicateTitleTestExcludesOnlyTheAccountItself()
    {
        SaveState renameControl = selected(node(7, Control, "3"), false);
        renameControl.controlTitleOpen = true;
        QCOMPARE(planSave(renameControl).uniqueTitle, TitleBox::Control);
        QCOMPARE(planSave(renameControl).self, 7);

        SaveState newUnderControl = selected(node(7, Control, "3"), true);
        newUnderControl.subControlTitleOpen = true;
        // Sub-control titles may repeat: nothing is tested.
        QCOMPARE(planSave(newUnderControl).uniqueTitle, TitleBox::None);
        QCOMPARE(planSave(newUnderControl).self, 0);

        SaveState changeLeaf = selected(node(9, Subsidiary, "3.1.4"), false);
        changeLeaf.detailsShown = true;
        QCOMPARE(planSave(changeLeaf).uniqueTitle, TitleBox::Subsidiary);
        QCOMPARE(planSave(changeLeaf).self, 9);

        SaveState newLeaf = selected(node(8, SubControl, "3.1"), true);
        newLeaf.detailsShown = true;
        QCOMPARE(planSave(newLeaf).uniqueTitle, TitleBox::Subsidiary);
        QCOMPARE(planSave(newLeaf).self, 0);
    }
};

QTEST_GUILESS_MAIN(TstAccountSave)
#include "tst_accountsave.moc"
