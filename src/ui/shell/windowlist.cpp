// What each documented window name opens, where its description places it, and the menu
// entries that open them.
#include "bankrec/frmbankrec.h"
#include "masters/frmaccount.h"
#include "masters/frmacclasses.h"
#include "masters/frmcompany.h"
#include "masters/frmfindac.h"
#include "registrations/registrationwindows.h"
#include "reports/frmoverview.h"
#include "reports/frmrptaccounts.h"
#include "reports/frmrptparty.h"
#include "reports/frmrptstatements.h"
#include "viewer/frmveiwer.h"
#include "setup/frmacsetting.h"
#include "shell/bookevents.h"
#include "shell/frmaddusers.h"
#include "shell/frmimport.h"
#include "shell/frmlockperiod.h"
#include "shell/frmlocpass.h"
#include "shell/frmremovedata.h"
#include "shell/frmsecmenus.h"
#include "shell/mdiform1.h"
#include "shell/windows.h"
#include "vouchers/frmvoucher.h"
#include "widgets/bound.h"

#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace qv {

namespace {
template <class T> std::function<MdiChild*()> maker()
{
    return [] { return new T(); };
}

void defineMasters()
{
    Windows::define(QStringLiteral("frmCompany"), maker<frmCompany>(), QPoint(2800, 2100));
    Windows::define(QStringLiteral("frmAccount"), maker<frmAccount>());
    // Opened from the chart of accounts, under its right.
    Windows::define(QStringLiteral("frmAcClasses"), maker<frmAcClasses>(), QPoint(3000, 1500), true);
    Windows::define(QStringLiteral("frmFindAC"), maker<frmFindAC>(), QPoint(3500, 1800), true, [](MdiChild* w, bool) {
        // Typing goes straight into the search.
        if (auto* box = w->findChild<QLineEdit*>("txtFindAC"))
            box->setFocus();
    });
    Windows::define(QStringLiteral("frmAcSetting"), maker<frmAcSetting>(), QPoint(0, 0), false,
                    [](MdiChild* w, bool fresh) {
                        if (fresh && w->subWindow())
                            w->subWindow()->resize(twips(15300), twips(10560));
                    });
    Windows::bindMenu(QStringLiteral("mnuCompany"), QStringLiteral("frmCompany"));
    Windows::bindMenu(QStringLiteral("mnuChartOfAC"), QStringLiteral("frmAccount"));
    Windows::bindMenu(QStringLiteral("mnuVocSetting"), QStringLiteral("frmAcSetting"));
}

void defineAdministration()
{
    Windows::define(QStringLiteral("frmLocPass"), maker<frmLocPass>(), QPoint(5000, 3000));
    Windows::define(QStringLiteral("frmSecMenus"), maker<frmSecMenus>(), QPoint(1000, 1500));
    Windows::define(QStringLiteral("frmAddUsers"), maker<frmAddUsers>(), QPoint(3500, 2500));
    Windows::define(QStringLiteral("frmRemoveData"), maker<frmRemoveData>(), QPoint(3000, 2000));
    Windows::define(QStringLiteral("frmLockPeriod"), maker<frmLockPeriod>(), QPoint(3000, 2000));
    Windows::define(QStringLiteral("frmImport"), maker<frmImport>(), QPoint(1500, 1000));
    auto gate = [](frmLocPass::Target t) {
        return [t] {
            frmLocPass::aimAt(t);
            Windows::open(QStringLiteral("frmLocPass"));
        };
    };
    Windows::bindMenu(QStringLiteral("mnuSetMenu"), gate(frmLocPass::Target::Menus));
    Windows::bindMenu(QStringLiteral("mnuAddUser"), gate(frmLocPass::Target::Users));
    Windows::bindMenu(QStringLiteral("mnuRemoveData"), gate(frmLocPass::Target::RemoveData));
    Windows::bindMenu(QStringLiteral("mnuLockPeriod"), gate(frmLocPass::Target::LockPeriod));
    Windows::bindMenu(QStringLiteral("mnuImport"), gate(frmLocPass::Target::Import));
}

void defineVouchers()
{
    for (const VoucherKindInfo& k : voucherKinds()) {
        const VoucherKind kind = k.kind;
        Windows::define(
            k.window, [kind] { return new frmVoucher(kind); }, QPoint(0, 0), true,
            [](MdiChild* w, bool fresh) {
                if (fresh && w->subWindow())
                    w->subWindow()->resize(twips(15255), twips(10155));
                // Windows that show figures learn of this window's saves and deletes.
                if (fresh)
                    QObject::connect(qobject_cast<frmVoucher*>(w), &frmVoucher::vouchersChanged, BookEvents::instance(),
                                     &BookEvents::vouchersChanged);
            });
        Windows::bindMenu(k.menuEntry, k.window);
    }
    Windows::define(QStringLiteral("frmBankRec"), maker<frmBankRec>(), QPoint(300, 300));
    Windows::bindMenu(QStringLiteral("mnuBankRec"), QStringLiteral("frmBankRec"));
}

void defineReports()
{
    // The launcher: each report entry shows it at 2500/1000 and makes its own panel visible.
    Windows::define(QStringLiteral("frmRPTAccounts"), maker<frmRPTAccounts>(), QPoint(2500, 1000), false,
                    [](MdiChild* w, bool fresh) {
                        if (fresh && w->subWindow())
                            w->subWindow()->resize(twips(10000), twips(4725));
                    });
    // Opened from the launcher, under the right of the report entry that showed it.
    Windows::define(QStringLiteral("frmRPTStatements"), maker<frmRPTStatements>(), QPoint(3000, 1500), true);
    Windows::define(QStringLiteral("frmRPTParty"), maker<frmRPTParty>(), QPoint(3500, 2000), true);
    for (const auto& info : rpt::accountsReports()) {
        const rpt::AccountsReport r = info.report;
        Windows::bindMenu(QLatin1String(info.menu), [r] {
            if (auto* w = Windows::open<frmRPTAccounts>(QStringLiteral("frmRPTAccounts")))
                w->showPanel(r);
        });
    }
    // The Overview fills the frame.
    Windows::define(
        QStringLiteral("frmOverview"), maker<frmOverview>(), std::nullopt, false, [](MdiChild* w, bool fresh) {
            if (fresh && w->subWindow())
                w->subWindow()->setGeometry(QRect(QPoint(0, 0), MDIForm1::instance()->mdiArea()->viewport()->size()));
        });
    Windows::bindMenu(QStringLiteral("mnuOverview"), QStringLiteral("frmOverview"));
    Windows::define(QStringLiteral("frmVeiwer"), maker<frmVeiwer>(), std::nullopt, false, [](MdiChild* w, bool fresh) {
        // The sub-window keeps the title text it last sized
        // itself for: clear both captions.
        w->setWindowTitle(QString());
        if (QMdiSubWindow* sw = w->subWindow()) {
            sw->setWindowTitle(QString());
            if (fresh)
                sw->setGeometry(QRect(QPoint(0, 0), MDIForm1::instance()->mdiArea()->viewport()->size()));
        }
    });
}
} // namespace

void Windows::defineAll()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    defineMasters();
    defineAdministration();
    defineVouchers();
    defineRegistrations();
    defineReports();
}

} // namespace qv
