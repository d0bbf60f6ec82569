#include "setup/frmacsetting.h"

#include "masters/finderpick.h"
#include "setup/vousettingstore.h"
#include "shell/mdiform1.h"
#include "shell/mdl_connection.h"
#include "db/tables.h"
#include "widgets/accountbox.h"
#include "widgets/bound.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"
#include "widgets/status.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using S = frmAcSetting;

const S::StartDef S::StartDefs[11] = {
    {&S::txtCP, "txtCP", "Start Cash Payment Voucher Number:"},
    {&S::txtCR, "txtCR", "Start Cash Receipt Voucher Number:"},
    {&S::txtBP, "txtBP", "Start Bank Payment Voucher Number:"},
    {&S::txtBR, "txtBR", "Start Bank Receipt Voucher Number:"},
    {&S::txtJV, "txtJV", "Start Journal Voucher Number:"},
    {&S::txtSalInv, "txtSalInv", "Start Sale Invoice  Number:"},
    {&S::txtPurOrder, "txtPurOrder", "Start Purchase Order  Number:"},
    {&S::txtQuot, "txtQuot", "Start Quotation  Number:"},
    {&S::txtDC, "txtDC", "Start Delivery Chelan Number:"},
    {&S::txtTaxInv, "txtTaxInv", "Start Sales Tax Invoice Number:"},
    {&S::txtGstInv, "txtGstInv", "Start Non GST Invoice Number:"},
};

const S::AccountDef S::AccountDefs[11] = {
    {&S::txtCPAcc, "txtCPAcc", "", &S::cmdCPFindAC, "cmdCPFindAC", "CP"},
    {&S::txtCRAcc, "txtCRAcc", "", &S::cmdCRFindAC, "cmdCRFindAC", "CR"},
    {&S::txtBPAcc, "txtBPAcc", "", &S::cmdBPFindAC, "cmdBPFindAC", "BP"},
    {&S::txtBRAcc, "txtBRAcc", "", &S::cmdBRFindAC, "cmdBRFindAC", "BR"},
    {&S::txtJVAcc, "txtJVAcc", "", &S::cmdJVFindAC, "cmdJVFindAC", "JV"},
    {&S::txtSalInvACC, "txtSalInvACC", "", &S::cmdSalInvFindAC, "cmdSalInvFindAC", "SI"},
    {&S::txtSTaxACC, "txtSTaxACC", "Select Sales Tax Account (Entry)", &S::cmdFindSTaxAC, "cmdFindSTaxAC", "TI"},
    {&S::txtShortFLLAC, "txtShortFLLAC", "Select Shor/Fll Account (Report)", &S::cmdShrtFLLAc, "cmdShrtFLLAc", "FTI"},
    {&S::txtIncTaxACRpt, "txtIncTaxACRpt", "Select Income Tax Account (Report)", &S::cmdIncTaxAC, "cmdIncTaxAC", "ITI"},
    {&S::txtSalTaxAcRpt, "txtSalTaxAcRpt", "Select Tax Account (Report)", &S::cmdSTaxACRpt, "cmdSTaxACRpt", "STI"},
    {&S::txtGstACC, "txtGstACC", "", &S::cmdFindGst, "cmdFindGst", "GI"},
};

const S::PanelDef S::PanelDefs[6] = {
    {"Cash Payment Voucher", 0, 0, &S::cmdClearCP, "cmdClearCP", &S::optCPDr, "optCPDr", &S::optCPCr, "optCPCr",
     &S::chkCPYN, "chkCPYN"},
    {"Cash Receipt Voucher", 1, 1, &S::cmdClearCR, "cmdClearCR", &S::optCRDr, "optCRDr", &S::optCRCr, "optCRCr",
     &S::chkCRYN, "chkCRYN"},
    {"Bank Payment Voucher", 2, 2, &S::cmdClearBP, "cmdClearBP", &S::optBPDr, "optBPDr", &S::optBPCr, "optBPCr",
     &S::chkBPYN, "chkBPYN"},
    {"Bank Receipt Voucher", 3, 3, &S::cmdClearBR, "cmdClearBR", &S::optBRDr, "optBRDr", &S::optBRCr, "optBRCr",
     &S::chkBRYN, "chkBRYN"},
    {"Journal Voucher", 4, 4, &S::cmdClearJV, "cmdClearJV", &S::optJVDr, "optJVDr", &S::optJVCr, "optJVCr", &S::chkJVYN,
     "chkJVYN"},
    {"Sale Invoice", 5, 5, &S::cmdClearSalInv, "cmdClearSalInv", &S::optSalInvDr, "optSalInvDr", &S::optSalInvCr,
     "optSalInvCr", &S::chkSalInvYN, "chkSalInvYN"},
};

namespace {
constexpr int TaxRow = 9;  // "TI"
constexpr int GstRow = 10; // "GI"

QString textOf(const QVariant& v)
{
    return v.isNull() ? QString() : v.toString();
}

// The stored code goes into the tag as it is stored (it may name no account any more).
void setAccount(qv::AccountBox* box, const QString& title, const QVariant& code)
{
    box->setText(title);
    box->setProperty("tag", textOf(code));
}

// "DR" switches Debit on, "CR" Credit; anything else leaves both off.
void setSide(QRadioButton* dr, QRadioButton* cr, const QString& side)
{
    for (QRadioButton* b : {dr, cr}) {
        b->setAutoExclusive(false);
        b->setChecked(false);
    }
    if (side == QLatin1String("DR"))
        dr->setChecked(true);
    else if (side == QLatin1String("CR"))
        cr->setChecked(true);
    dr->setAutoExclusive(true);
    cr->setAutoExclusive(true);
}

QString tagOf(const QLineEdit* box)
{
    return box->property("tag").toString();
}
} // namespace

frmAcSetting::frmAcSetting(QWidget* parent)
    : qv::MdiChild(parent)
{
    setObjectName(QStringLiteral("frmAcSetting"));
    setWindowTitle(QStringLiteral("Voucher Setup"));

    auto* frame = new QGroupBox(QStringLiteral("[ Voucher Setup ]"), this);
    auto* starts = new QGridLayout;
    for (int i = 0; i < 11; ++i) {
        const StartDef& s = StartDefs[i];
        QLineEdit*& box = this->*s.box;
        box = new QLineEdit(frame);
        box->setObjectName(QString::fromLatin1(s.name));
        box->setMaxLength(8);
        box->setMaximumWidth(qv::twips(1500));
        auto* label = new QLabel(QString::fromLatin1(s.label), frame);
        label->setBuddy(box);
        starts->addWidget(label, i, 0);
        starts->addWidget(box, i, 1);
    }
    starts->setRowStretch(11, 1);

    auto* panels = new QVBoxLayout;
    panels->setSpacing(2);
    for (const PanelDef& p : PanelDefs)
        panels->addWidget(buildPanel(p));
    panels->addWidget(buildTaxPanel());
    panels->addWidget(buildGstPanel());

    cmdSave = new QPushButton(QStringLiteral("&Save"), frame);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdClear = new QPushButton(QStringLiteral("&Clear All"), frame);
    cmdClear->setObjectName(QStringLiteral("cmdClear"));
    cmdExit = new QPushButton(QStringLiteral("E&xit"), frame);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {cmdSave, cmdClear, cmdExit})
        buttons->addWidget(b);
    panels->addLayout(buttons);
    panels->addStretch(1);

    auto* columns = new QHBoxLayout(frame);
    columns->addLayout(starts, 0);
    columns->addSpacing(12);
    columns->addLayout(panels, 1);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(frame);

    connect(cmdSave, &QPushButton::clicked, this, [this] { save(); });
    connect(cmdClear, &QPushButton::clicked, this, [this] { clearAll(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { unload(); });

    FillVouSetting();
    QList<QWidget*> boxes;
    for (QWidget* w : findChildren<QWidget*>())
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QRadioButton*>(w) || qobject_cast<QCheckBox*>(w))
            boxes << w;
    m_stored.watch(boxes);
}

QPushButton* frmAcSetting::makeFindButton(const AccountDef& a, QWidget* parent)
{
    QPushButton*& b = this->*a.find;
    b = new QPushButton(QStringLiteral("Find A/C"), parent);
    b->setObjectName(QString::fromLatin1(a.findName));
    const QString code = QString::fromLatin1(a.findCode);
    connect(b, &QPushButton::clicked, this, [this, code] {
        m_findCode = code;
        // The open finder comes back as it was; its list is refreshed as it activates.
        qv::showFinder(false);
    });
    qv::AccountBox*& box = this->*a.box;
    box = new qv::AccountBox(parent);
    box->setObjectName(QString::fromLatin1(a.name));
    // Filled only through the finder, emptied only by the clear buttons.
    box->setReadOnly(true);
    return b;
}

QGroupBox* frmAcSetting::buildPanel(const PanelDef& p)
{
    auto* g = new QGroupBox(QString::fromLatin1(p.title), this);
    QPushButton* find = makeFindButton(AccountDefs[p.account], g);
    QPushButton*& clear = this->*p.clear;
    clear = new QPushButton(QStringLiteral("Clear"), g);
    clear->setObjectName(QString::fromLatin1(p.clearName));
    QRadioButton*& dr = this->*p.dr;
    dr = new QRadioButton(QStringLiteral("Debit:"), g);
    dr->setObjectName(QString::fromLatin1(p.drName));
    QRadioButton*& cr = this->*p.cr;
    cr = new QRadioButton(QStringLiteral("Credit:"), g);
    cr->setObjectName(QString::fromLatin1(p.crName));
    QCheckBox*& fix = this->*p.fix;
    fix = new QCheckBox(QStringLiteral("Fix Y/N"), g);
    fix->setObjectName(QString::fromLatin1(p.fixName));

    auto* row = new QHBoxLayout(g);
    row->setContentsMargins(6, 2, 6, 2);
    row->addWidget(this->*AccountDefs[p.account].box, 1);
    for (QWidget* w : std::initializer_list<QWidget*>{find, clear, dr, cr, fix})
        row->addWidget(w);
    connect(clear, &QPushButton::clicked, this, [this, &p] { clearPanel(p); });
    return g;
}

QGroupBox* frmAcSetting::buildTaxPanel()
{
    auto* g = new QGroupBox(QStringLiteral("Sales Tax Invoice"), this);
    auto* grid = new QGridLayout(g);
    grid->setContentsMargins(6, 2, 6, 2);
    grid->setVerticalSpacing(3);
    for (int i = 6; i <= 9; ++i) {
        const AccountDef& a = AccountDefs[i];
        QPushButton* find = makeFindButton(a, g);
        grid->addWidget(new QLabel(QString::fromLatin1(a.label), g), i - 6, 0);
        grid->addWidget(this->*a.box, i - 6, 1);
        grid->addWidget(find, i - 6, 2);
    }
    cmdClearSTax = new QPushButton(QStringLiteral("Clear"), g);
    cmdClearSTax->setObjectName(QStringLiteral("cmdClearSTax"));
    grid->addWidget(cmdClearSTax, 0, 3);
    grid->setColumnStretch(1, 1);
    // The income tax and tax (report) accounts stay.
    connect(cmdClearSTax, &QPushButton::clicked, this, [this] {
        txtTaxInv->clear();
        setAccount(txtSTaxACC, {}, {});
        setAccount(txtShortFLLAC, {}, {});
    });
    return g;
}

QGroupBox* frmAcSetting::buildGstPanel()
{
    auto* g = new QGroupBox(QStringLiteral("Non GST Invoice"), this);
    QPushButton* find = makeFindButton(AccountDefs[10], g);
    cmdClearGst = new QPushButton(QStringLiteral("Clear"), g);
    cmdClearGst->setObjectName(QStringLiteral("cmdClearGst"));
    auto* row = new QHBoxLayout(g);
    row->setContentsMargins(6, 2, 6, 2);
    row->addWidget(txtGstACC, 1);
    row->addWidget(find);
    row->addWidget(cmdClearGst);
    connect(cmdClearGst, &QPushButton::clicked, this, [this] {
        txtGstInv->clear();
        setAccount(txtGstACC, {}, {});
    });
    return g;
}

void frmAcSetting::FillVouSetting()
{
    QList<qv::VouSettingRow> rows;
    if (!qv::guarded([&] { rows = qv::VouSettingStore(Conn).load(); }))
        return;
    for (const qv::VouSettingRow& r : rows) {
        int i = 0;
        while (i < 11 && r.vouStatus != QLatin1String(qv::tbl::VouSettingCodes[i]))
            ++i;
        if (i == 11)
            continue; // a kind this window does not keep
        (this->*StartDefs[i].box)->setText(textOf(r.vouNo));
        if (i < 6) {
            const PanelDef& p = PanelDefs[i];
            setSide(this->*p.dr, this->*p.cr, textOf(r.acStatus));
            setAccount(this->*AccountDefs[i].box, r.acTitle, r.acCode);
            (this->*p.fix)->setChecked(textOf(r.fix) == QLatin1String("Y"));
        } else if (i == TaxRow) {
            setAccount(txtSTaxACC, r.acTitle, r.acCode);
            setAccount(txtShortFLLAC, r.othAc, r.othAcCode);
            setAccount(txtIncTaxACRpt, r.incomeAc, r.iTaxAc);
            setAccount(txtSalTaxAcRpt, r.salTaxAc, r.sTaxAc);
        } else if (i == GstRow) {
            setAccount(txtGstACC, r.acTitle, r.acCode);
        }
    }
}

void frmAcSetting::onActivated()
{
    if (!qv::finderPickPending())
        return;
    const AccountDef* target = nullptr;
    for (const AccountDef& a : AccountDefs)
        if (m_findCode == QLatin1String(a.findCode))
            target = &a;
    // The pick is consumed even when it was for no box of this window.
    qv::takeFinderPick(target ? this->*target->box : nullptr);
    if (target)
        (this->*target->find)->setFocus();
}

bool frmAcSetting::hasUnsavedWork() const
{
    return m_stored.changed();
}

void frmAcSetting::clearPanel(const PanelDef& p)
{
    (this->*StartDefs[p.start].box)->clear();
    setSide(this->*p.dr, this->*p.cr, {});
    (this->*p.fix)->setChecked(false);
    setAccount(this->*AccountDefs[p.account].box, {}, {});
}

void frmAcSetting::clearAll()
{
    for (QLineEdit* e : findChildren<QLineEdit*>()) {
        e->clear();
        e->setProperty("tag", QString());
    }
    for (const PanelDef& p : PanelDefs) {
        setSide(this->*p.dr, this->*p.cr, {});
        (this->*p.fix)->setChecked(false);
    }
}

void frmAcSetting::save()
{
    constexpr auto accountFromTag = &qv::VouSettingStore::accountFromTag;
    QList<qv::VouSettingRow> rows;
    bool saved = false;
    qv::guarded([&] {
        for (int i = 0; i < 11; ++i) {
            QLineEdit* start = this->*StartDefs[i].box;
            const auto no = qv::VouSettingStore::parseStartNumber(start->text());
            if (!no) {
                // Checked before anything is written: the stored setup stays as it was.
                QString label = QString::fromLatin1(StartDefs[i].label).simplified();
                label.chop(1);
                qv::Msg::info(QStringLiteral("%1: \"%2\" is not a whole number. Please type digits only, or leave "
                                             "the box empty.")
                                  .arg(label, start->text()));
                start->setFocus();
                start->selectAll();
                return;
            }
            qv::VouSettingRow r;
            r.vouStatus = QString::fromLatin1(qv::tbl::VouSettingCodes[i]);
            r.vouNo = *no;
            if (i < 6) {
                const PanelDef& p = PanelDefs[i];
                r.acCode = accountFromTag(tagOf(this->*AccountDefs[i].box));
                if ((this->*p.dr)->isChecked())
                    r.acStatus = QStringLiteral("DR");
                else if ((this->*p.cr)->isChecked())
                    r.acStatus = QStringLiteral("CR");
                r.fix = (this->*p.fix)->isChecked() ? QStringLiteral("Y") : QStringLiteral("N");
            } else if (i == TaxRow) {
                r.acCode = accountFromTag(tagOf(txtSTaxACC));
                r.othAcCode = accountFromTag(tagOf(txtShortFLLAC));
                r.iTaxAc = accountFromTag(tagOf(txtIncTaxACRpt));
                r.sTaxAc = accountFromTag(tagOf(txtSalTaxAcRpt));
            } else if (i == GstRow) {
                r.acCode = accountFromTag(tagOf(txtGstACC));
            }
            rows << r;
        }
        qv::VouSettingStore(Conn).replaceAll(rows);
        saved = true;
    });
    if (!saved)
        return;
    m_stored.take();
    qv::Status::say(QStringLiteral("Voucher setup saved"));
    qv::Msg::info(QStringLiteral("Sucessfully  save you Voucher Setting"));
}
