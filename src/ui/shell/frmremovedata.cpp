#include "shell/frmremovedata.h"
#include "vouchers/voucherkinds.h"

#include "shell/mdl_connection.h"
#include "widgets/datebox.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"
#include "widgets/status.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QDateEdit* dateBox(QWidget* parent, const char* name, const QDate& d)
{
    auto* e = new qv::DateBox(d, parent);
    e->setObjectName(QString::fromLatin1(name));
    return e;
}

QString dmy(const QDate& d)
{
    return d.toString(qv::DateBox::format());
}
} // namespace

frmRemoveData::frmRemoveData(QWidget* parent)
    : qv::MdiChild(parent)
{
    setObjectName(QStringLiteral("frmRemoveData"));
    setWindowTitle(QStringLiteral("Remove Data"));

    auto* frame = new QGroupBox(QStringLiteral("Vouchers"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    chkVouchers = new QCheckBox(QStringLiteral("Remove &vouchers of the kind"), frame);
    chkVouchers->setObjectName(QStringLiteral("chkVouchers"));
    cboKind = new QComboBox(frame);
    cboKind->setObjectName(QStringLiteral("cboKind"));
    cboKind->addItem(QStringLiteral("Every kind"), QString());
    for (const qv::VoucherKindInfo& k : qv::voucherKinds())
        cboKind->addItem(QStringLiteral("%1 - %2").arg(k.code, k.caption), k.code);
    const QDate today = QDate::currentDate();
    dtpFrom = dateBox(frame, "dtpFrom", QDate(today.year(), 1, 1));
    dtpTo = dateBox(frame, "dtpTo", today);
    auto* vgrid = new QGridLayout(frame);
    vgrid->addWidget(chkVouchers, 0, 0);
    vgrid->addWidget(cboKind, 0, 1, 1, 3);
    vgrid->addWidget(new QLabel(QStringLiteral("dated from"), frame), 1, 0, Qt::AlignRight);
    vgrid->addWidget(dtpFrom, 1, 1);
    vgrid->addWidget(new QLabel(QStringLiteral("to"), frame), 1, 2);
    vgrid->addWidget(dtpTo, 1, 3);
    vgrid->setColumnStretch(4, 1);

    chkCatagory = new QCheckBox(QStringLiteral("Remove all plot &categories"), this);
    chkCatagory->setObjectName(QStringLiteral("chkCatagory"));
    chkApplication = new QCheckBox(QStringLiteral("Remove all &applications"), this);
    chkApplication->setObjectName(QStringLiteral("chkApplication"));
    lblCounts = new QLabel(this);
    lblCounts->setObjectName(QStringLiteral("lblCounts"));
    lblCounts->setMinimumHeight(90);
    lblCounts->setWordWrap(true);
    lblCounts->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblCounts->setFrameShape(QFrame::StyledPanel);
    lblCounts->setMargin(6);

    cmdRemove = new QPushButton(QStringLiteral("&Remove"), this);
    cmdRemove->setObjectName(QStringLiteral("cmdRemove"));
    cmdExit = new QPushButton(QStringLiteral("E&xit"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdRemove);
    buttons->addWidget(cmdExit);

    auto* lay = new QVBoxLayout(this);
    lay->addWidget(frame);
    lay->addWidget(chkCatagory);
    lay->addWidget(chkApplication);
    lay->addWidget(lblCounts);
    lay->addLayout(buttons);
    setMinimumWidth(560); // room for a voucher line of the counts

    for (QCheckBox* c : {chkVouchers, chkCatagory, chkApplication})
        connect(c, &QCheckBox::toggled, this, &frmRemoveData::ShowCounts);
    connect(cboKind, &QComboBox::currentIndexChanged, this, &frmRemoveData::ShowCounts);
    connect(dtpFrom, &QDateEdit::dateChanged, this, &frmRemoveData::ShowCounts);
    connect(dtpTo, &QDateEdit::dateChanged, this, &frmRemoveData::ShowCounts);
    connect(cmdRemove, &QPushButton::clicked, this, &frmRemoveData::cmdRemove_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmRemoveData::unload);
    ShowCounts();
}

qv::RemovalChoice frmRemoveData::choice() const
{
    qv::RemovalChoice ch;
    ch.vouchers = chkVouchers->isChecked();
    ch.kind = cboKind->currentData().toString();
    ch.from = dtpFrom->date();
    ch.to = dtpTo->date();
    ch.categories = chkCatagory->isChecked();
    ch.applications = chkApplication->isChecked();
    return ch;
}

QString frmRemoveData::describe(const qv::RemovalChoice& ch, const qv::RemovalCounts& n)
{
    QStringList lines;
    if (ch.vouchers)
        lines << QStringLiteral("Vouchers (%1) dated %2 to %3: %4 vouchers with %5 lines")
                     .arg(ch.kind.isEmpty() ? QStringLiteral("every kind") : ch.kind, dmy(ch.from), dmy(ch.to))
                     .arg(n.vouchers)
                     .arg(n.lines);
    if (ch.categories)
        lines << QStringLiteral("Plot categories: %1").arg(n.categories);
    if (ch.applications)
        lines << QStringLiteral("Applications: %1").arg(n.applications);
    return lines.join(QLatin1Char('\n'));
}

void frmRemoveData::ShowCounts()
{
    const qv::RemovalChoice ch = choice();
    cboKind->setEnabled(ch.vouchers);
    dtpFrom->setEnabled(ch.vouchers);
    dtpTo->setEnabled(ch.vouchers);
    if (const QString err = qv::RemoveData::checkChoice(ch); !err.isEmpty()) {
        lblCounts->setText(err);
        return;
    }
    try {
        lblCounts->setText(QStringLiteral("To be removed:\n") + describe(ch, qv::RemoveData(Conn).count(ch)));
    } catch (const qv::DbError& e) {
        lblCounts->setText(QStringLiteral("The rows could not be counted:\n") + e.description());
    }
}

void frmRemoveData::cmdRemove_Click()
{
    const qv::RemovalChoice ch = choice();
    if (const QString err = qv::RemoveData::checkChoice(ch); !err.isEmpty()) {
        qv::Msg::info(err);
        return;
    }
    const bool embedded = Conn.backend() == qv::Backend::Sqlite;
    qv::guarded(
        [&] {
            const qv::RemovalCounts n = qv::RemoveData(Conn).count(ch);
            lblCounts->setText(QStringLiteral("To be removed:\n") + describe(ch, n));
            if (n.total() == 0) {
                qv::Msg::info(QStringLiteral("There is nothing to remove for this choice."));
                return;
            }
            const QString copyNote =
                embedded ? QStringLiteral("A copy of the database file is written beside it first.")
                         : QStringLiteral(
                             "The server's database is not copied by the program: make sure it has a recent backup.");
            if (!qv::Msg::askDestructive(
                    QStringLiteral("These rows will be removed:\n\n%1\n\n%2\n\nare you sure remove this data")
                        .arg(describe(ch, n), copyNote),
                    {}, qv::Msg::Icon::Warning))
                return;
            QString copy;
            if (embedded) {
                copy = qv::RemoveData(Conn).backup(QDateTime::currentDateTime());
            }
            qv::RemoveData(Conn).remove(ch, n);
            QString done = QStringLiteral("The data has been removed:\n\n") + describe(ch, n);
            if (!copy.isEmpty())
                done += QStringLiteral("\n\nThe database as it was before is kept at:\n") + copy;
            qv::Status::say(QStringLiteral("Data removed: %1").arg(describe(ch, n).simplified()));
            qv::Msg::info(done);
        },
        QStringLiteral("%1\n\nNothing was removed."));
    ShowCounts();
}
