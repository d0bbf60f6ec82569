#include "shell/frmlockperiod.h"

#include "shell/mdl_connection.h"
#include "vouchers/periodlock.h"
#include "widgets/datebox.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"
#include "widgets/status.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
QString shown(const QDate& d)
{
    return d.isValid() ? d.toString(qv::DateBox::format()) : QStringLiteral("nothing locked");
}
} // namespace

frmLockPeriod::frmLockPeriod(QWidget* parent)
    : qv::MdiChild(parent)
{
    setObjectName(QStringLiteral("frmLockPeriod"));
    setWindowTitle(QStringLiteral("Lock Period"));

    lblCurrent = new QLabel(this);
    lblCurrent->setObjectName(QStringLiteral("lblCurrent"));
    dtpUntil = new qv::DateBox(QDate::currentDate(), this);
    dtpUntil->setObjectName(QStringLiteral("dtpUntil"));
    chkNothing = new QCheckBox(QStringLiteral("&Nothing locked"), this);
    chkNothing->setObjectName(QStringLiteral("chkNothing"));
    txtReason = new QLineEdit(this);
    txtReason->setObjectName(QStringLiteral("txtReason"));
    txtReason->setMaxLength(250);
    txtReason->setPlaceholderText(QStringLiteral("needed when the date moves back"));
    grdMoves = new QTableWidget(0, 4, this);
    grdMoves->setObjectName(QStringLiteral("grdMoves"));
    grdMoves->setHorizontalHeaderLabels(
        {QStringLiteral("Locked up to"), QStringLiteral("By"), QStringLiteral("At (UTC)"), QStringLiteral("Reason")});
    grdMoves->horizontalHeader()->setStretchLastSection(true);
    grdMoves->verticalHeader()->hide();
    grdMoves->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdMoves->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdMoves->setMinimumHeight(140);
    cmdSave = new QPushButton(QStringLiteral("&Save"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdExit = new QPushButton(QStringLiteral("E&xit"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Now:"), this), 0, 0);
    grid->addWidget(lblCurrent, 0, 1, 1, 2);
    auto* until = new QLabel(QStringLiteral("Lock &up to"), this);
    until->setBuddy(dtpUntil);
    grid->addWidget(until, 1, 0);
    grid->addWidget(dtpUntil, 1, 1);
    grid->addWidget(chkNothing, 1, 2);
    auto* reason = new QLabel(QStringLiteral("&Reason"), this);
    reason->setBuddy(txtReason);
    grid->addWidget(reason, 2, 0);
    grid->addWidget(txtReason, 2, 1, 1, 2);
    grid->setColumnStretch(2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdExit);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(grid);
    lay->addWidget(new QLabel(QStringLiteral("Moves of the date:"), this));
    lay->addWidget(grdMoves);
    lay->addLayout(buttons);
    setMinimumWidth(620);

    connect(chkNothing, &QCheckBox::toggled, dtpUntil, &QWidget::setDisabled);
    connect(cmdSave, &QPushButton::clicked, this, &frmLockPeriod::cmdSave_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmLockPeriod::unload);
    ShowLock();
}

void frmLockPeriod::ShowLock()
{
    qv::guarded([this] {
        qv::PeriodLock lock(Conn);
        const auto now = lock.lockedUpTo();
        lblCurrent->setText(now ? QStringLiteral("locked up to %1").arg(shown(*now)) : shown({}));
        if (now)
            dtpUntil->setDate(*now);
        const std::vector<qv::PeriodLockMove> moves = lock.history();
        grdMoves->setRowCount(int(moves.size()));
        for (int r = 0; r < int(moves.size()); ++r) {
            const qv::PeriodLockMove& m = moves[size_t(r)];
            const QStringList cells = {shown(m.until), m.by, m.at, m.reason};
            for (int c = 0; c < cells.size(); ++c)
                grdMoves->setItem(r, c, new QTableWidgetItem(cells[c]));
        }
        grdMoves->resizeColumnsToContents();
    });
}

void frmLockPeriod::cmdSave_Click()
{
    dtpUntil->commitTyped();
    const std::optional<QDate> until = chkNothing->isChecked() ? std::nullopt : std::optional<QDate>(dtpUntil->date());
    bool saved = false;
    qv::guarded(
        [&] {
            qv::PeriodLock lock(Conn);
            const auto was = lock.lockedUpTo();
            const bool reopens = was && (!until || *until < *was);
            if (reopens && txtReason->text().trimmed().isEmpty()) {
                qv::Msg::info(QStringLiteral("The period locked up to %1 is reopened by this move: please type the "
                                             "reason for it.")
                                  .arg(shown(*was)));
                txtReason->setFocus();
                return;
            }
            lock.move(until, txtReason->text(), LoginUser);
            saved = true;
        },
        txtReason);
    if (!saved)
        return;
    txtReason->clear();
    ShowLock();
    qv::Status::say(until ? QStringLiteral("Period locked up to %1").arg(shown(*until))
                          : QStringLiteral("No period is locked"));
}
