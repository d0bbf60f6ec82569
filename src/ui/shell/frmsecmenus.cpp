#include "shell/frmsecmenus.h"

#include "admin/adminstore.h"
#include "db/menurights.h"
#include "shell/mdl_connection.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"
#include "widgets/status.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// A ticked right shows its caption in bold, whether the user or the stored rows ticked it.
void showTicked(QCheckBox* box, bool ticked)
{
    QFont f = box->font();
    f.setBold(ticked);
    box->setFont(f);
}
} // namespace

frmSecMenus::frmSecMenus(QWidget* parent)
    : qv::MdiChild(parent)
{
    setObjectName(QStringLiteral("frmSecMenus"));
    setWindowTitle(QStringLiteral("Menus"));

    Frame1 = new QGroupBox(QStringLiteral("Menus"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame2 = new QGroupBox(QStringLiteral("Reports"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    auto* grid1 = new QGridLayout(Frame1);
    auto* grid2 = new QGridLayout(Frame2);
    int inFrame1 = 0, inFrame2 = 0;
    for (const qv::MenuRight& r : qv::MenuRights) {
        QGroupBox* frame = r.reports ? Frame2 : Frame1;
        // The caption stays as stored ("Terms && Condition"): OpenMenus compares it with the rows.
        auto* box = new QCheckBox(QString::fromUtf8(r.caption), frame);
        box->setObjectName(QString::fromLatin1(r.box));
        connect(box, &QCheckBox::toggled, box, [box](bool on) { showTicked(box, on); });
        // Two columns in each frame, filled down.
        int& n = r.reports ? inFrame2 : inFrame1;
        const int rows = r.reports ? 6 : 8;
        (r.reports ? grid2 : grid1)->addWidget(box, n % rows, n / rows);
        ++n;
        m_boxes << box;
    }

    cmdSave = new QPushButton(QStringLiteral("&Save"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    Command1 = new QPushButton(QStringLiteral("E&xit"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    connect(cmdSave, &QPushButton::clicked, this, &frmSecMenus::cmdSave_Click);
    connect(Command1, &QPushButton::clicked, this, &frmSecMenus::Command1_Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdSave);
    buttons->addWidget(Command1);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(Frame1);
    lay->addWidget(Frame2);
    lay->addLayout(buttons);

    OpenMenus();
}

void frmSecMenus::OpenMenus()
{
    qv::guarded([this] {
        for (const qv::RightsStore::Row& row : qv::RightsStore(Conn).rows())
            for (QCheckBox* box : m_boxes)
                if (box->text() == row.caption)
                    box->setChecked(row.active);
    });
}

void frmSecMenus::cmdSave_Click()
{
    QList<qv::RightsStore::Row> rights;
    for (QCheckBox* box : m_boxes)
        rights.append({box->text(), box->isChecked()});
    if (!qv::guarded([&] { qv::RightsStore(Conn).save(rights); },
                     QStringLiteral("The menu rights were not saved; the previous rights stay in force.\n\n%1")))
        return;
    qv::Status::say(QStringLiteral("Menu rights saved"));
    unload();
}

void frmSecMenus::Command1_Click()
{
    unload();
}
