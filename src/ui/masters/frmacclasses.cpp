#include "masters/frmacclasses.h"

#include "masters/accountclasses.h"
#include "shell/mdl_connection.h"
#include "widgets/guarded.h"
#include "widgets/named.h"
#include "widgets/status.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using qv::AccountClasses;

frmAcClasses::frmAcClasses(QWidget* parent)
    : MdiChild(parent)
{
    setObjectName(QStringLiteral("frmAcClasses"));
    setWindowTitle(QStringLiteral("Account Classes"));
    resize(560, 420);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(new QLabel(QStringLiteral("The class of each control account, for the balance sheet and the "
                                             "profit and loss account:"),
                              this));
    grdClasses = qv::named<QTableWidget>(this, "grdClasses", 0, 3);
    grdClasses->setHorizontalHeaderLabels(
        {QStringLiteral("Code"), QStringLiteral("Control Account"), QStringLiteral("Class")});
    grdClasses->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    grdClasses->verticalHeader()->hide();
    grdClasses->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lay->addWidget(grdClasses, 1);

    auto* month = new QHBoxLayout;
    auto* lblMonth = new QLabel(QStringLiteral("Financial year starts in:"), this);
    cboStartMonth = qv::named<QComboBox>(this, "cboStartMonth");
    for (int m = 1; m <= 12; ++m)
        cboStartMonth->addItem(QLocale::c().standaloneMonthName(m), m);
    lblMonth->setBuddy(cboStartMonth);
    month->addWidget(lblMonth);
    month->addWidget(cboStartMonth);
    month->addStretch(1);
    lay->addLayout(month);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdSave = qv::named<QPushButton>(this, "cmdSave", QStringLiteral("&Save"));
    cmdClose = qv::named<QPushButton>(this, "cmdClose", QStringLiteral("&Close"));
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdClose);
    lay->addLayout(buttons);
    connect(cmdSave, &QPushButton::clicked, this, [this] { save(); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { unload(); });
    load();
}

void frmAcClasses::load()
{
    qv::guarded([this] {
        AccountClasses classes(Conn);
        const QList<qv::ControlHead> heads = classes.heads();
        const int month = classes.startMonth();
        grdClasses->setRowCount(0);
        for (const qv::ControlHead& h : heads) {
            const int row = grdClasses->rowCount();
            grdClasses->insertRow(row);
            grdClasses->setItem(row, 0, new QTableWidgetItem(h.nodes));
            grdClasses->setItem(row, 1, new QTableWidgetItem(h.name));
            auto* box = new QComboBox(grdClasses);
            box->setObjectName(QStringLiteral("cboClass%1").arg(row));
            box->addItem(QStringLiteral("(not classified)"), QString());
            for (const auto& [letter, name] : AccountClasses::all())
                box->addItem(name, QString(letter));
            box->setCurrentIndex(qMax(0, box->findData(h.cls.isNull() ? QString() : QString(h.cls))));
            grdClasses->setCellWidget(row, 2, box);
        }
        cboStartMonth->setCurrentIndex(month - 1);
        m_loaded = chosen();
    });
}

QMap<QString, QString> frmAcClasses::chosen() const
{
    QMap<QString, QString> out;
    for (int row = 0; row < grdClasses->rowCount(); ++row)
        if (auto* box = qobject_cast<QComboBox*>(grdClasses->cellWidget(row, 2)))
            out.insert(grdClasses->item(row, 0)->text(), box->currentData().toString());
    out.insert(QString(), QString::number(cboStartMonth->currentData().toInt()));
    return out;
}

bool frmAcClasses::hasUnsavedWork() const
{
    return chosen() != m_loaded;
}

bool frmAcClasses::save()
{
    const QMap<QString, QString> now = chosen();
    const bool done = qv::guarded([&] {
        AccountClasses classes(Conn);
        qv::Transaction tx(Conn);
        for (auto it = now.cbegin(); it != now.cend(); ++it)
            if (!it.key().isEmpty())
                classes.set(it.key(), it.value().isEmpty() ? QChar() : it.value().at(0));
        classes.setStartMonth(now.value(QString()).toInt());
        tx.commit();
    });
    if (!done)
        return false;
    m_loaded = now;
    const int open = int(AccountClasses(Conn).unclassified().size());
    qv::Status::say(open ? QStringLiteral("Classes saved; %1 control account(s) still have no class.").arg(open)
                         : QStringLiteral("Classes saved."));
    return true;
}
