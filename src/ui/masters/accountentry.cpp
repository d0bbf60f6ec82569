#include "masters/accountentry.h"

#include "masters/accounttree.h"
#include "reports/openings.h"
#include "shell/mdl_connection.h"
#include "widgets/amountbox.h"
#include "widgets/bound.h"
#include "widgets/datebox.h"
#include "widgets/keyrules.h"
#include "widgets/keys.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace qv {

namespace {
const QString GstMask = QStringLiteral("##-##-####-###-##");
const QString NtnMask = QStringLiteral("#######-#");

QLineEdit* box(QWidget* parent, const char* name)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    return e;
}
} // namespace

void boldWhenTicked(QCheckBox* c)
{
    QObject::connect(c, &QCheckBox::toggled, c, [c](bool on) {
        QFont f = c->font();
        f.setBold(on);
        c->setFont(f);
    });
}

AccountEntry::AccountEntry(QWidget* parent)
    : QGroupBox(parent)
{
    setObjectName(QStringLiteral("frmEntry"));
    auto* g = new QGridLayout(this);
    Label7 = new QLabel(QStringLiteral("Level - 3    Subsidiary Account Title"), this);
    Label7->setObjectName(QStringLiteral("Label7"));
    txtSubsidiary = box(this, "txtSubsidiary");
    g->addWidget(Label7, 0, 0, 1, 4);
    g->addWidget(txtSubsidiary, 1, 0, 1, 4);

    dtpOpening = new DateBox(this);
    dtpOpening->setObjectName(QStringLiteral("dtpOpening"));
    txtContactPerson = box(this, "txtContactPerson");
    txt_address = box(this, "txt_address");
    txtAdd2 = box(this, "txtAdd2");
    txt_telno = box(this, "txt_telno");
    txt_faxno = box(this, "txt_faxno");
    txt_email = box(this, "txt_email");
    txt_website = box(this, "txt_website");
    txtLocation = box(this, "txtLocation");
    txt_OpenBal = box(this, "txt_OpenBal");
    txt_Gstno = box(this, "txt_Gstno");
    txt_Ntnno = box(this, "txt_Ntnno");
    chkBank = new QCheckBox(QStringLiteral("Bank Account"), this);
    chkBank->setObjectName(QStringLiteral("chkBank"));
    chkSupplier = new QCheckBox(QStringLiteral("Supplier"), this);
    chkSupplier->setObjectName(QStringLiteral("chkSupplier"));

    const struct {
        QWidget* w;
        const char* caption;
        int row, col, span;
    } rows[] = {
        {dtpOpening, "Opening Date", 2, 0, 1}, {txtContactPerson, "Contact Person", 2, 2, 1},
        {txt_address, "Address 1", 3, 0, 3},   {txtAdd2, "Address 2", 4, 0, 3},
        {txt_telno, "Contact No.", 5, 0, 1},   {txt_faxno, "Fax No.", 5, 2, 1},
        {txt_email, "E-Mail ", 6, 0, 1},       {txt_website, "Web Site", 6, 2, 1},
        {txtLocation, "Location", 7, 0, 1},    {txt_OpenBal, "Opening Balance", 7, 2, 1},
        {txt_Gstno, "G.S.T. No.", 8, 0, 1},    {txt_Ntnno, "N.T.N. No.", 8, 2, 1},
    };
    for (const auto& r : rows) {
        auto* l = new QLabel(QString::fromLatin1(r.caption), this);
        l->setObjectName(QStringLiteral("lbl_") + r.w->objectName());
        l->setBuddy(r.w);
        g->addWidget(l, r.row, r.col);
        g->addWidget(r.w, r.row, r.col + 1, 1, r.span);
    }
    g->addWidget(chkBank, 9, 1);
    g->addWidget(chkSupplier, 9, 3);
    lblOpenSide = new QLabel(this);
    lblOpenSide->setObjectName(QStringLiteral("lblOpenSide"));
    lblOpenSide->setMinimumWidth(lblOpenSide->fontMetrics().horizontalAdvance(QStringLiteral("Dr ")));
    g->addWidget(lblOpenSide, 7, 4);
    lblOpenDifference = new QLabel(this);
    lblOpenDifference->setObjectName(QStringLiteral("lblOpenDifference"));
    g->addWidget(lblOpenDifference, 10, 0, 1, 5);
    connect(txt_OpenBal, &QLineEdit::textChanged, this, &AccountEntry::showOpeningSide);
    g->setColumnStretch(1, 1);
    g->setColumnStretch(3, 1);

    const QPair<QLineEdit*, const char*> bound[] = {
        {txtContactPerson, "ContactPer"},
        {txt_address, "Addr"},
        {txtAdd2, "Addr2"},
        {txt_telno, "Contact"},
        {txt_faxno, "Fax"},
        {txt_email, "Email"},
        {txt_website, "WebSite"},
        {txtLocation, "Location"},
        {txt_OpenBal, "OpenBal"},
        {txt_Gstno, "GST"},
        {txt_Ntnno, "NTN"},
    };
    for (const auto& [b, column] : bound)
        bind(b, Tag, QLatin1String(column));
    setDigitMask(txt_Gstno, GstMask);
    setDigitMask(txt_Ntnno, NtnMask);
    txt_OpenBal->setAlignment(Qt::AlignRight);
    wireKeys();

    connect(chkBank, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            chkSupplier->setChecked(false);
    });
    connect(chkSupplier, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            chkBank->setChecked(false);
    });
    boldWhenTicked(chkBank);
    boldWhenTicked(chkSupplier);
}

void AccountEntry::wireKeys()
{
    for (QLineEdit* e : {txtSubsidiary, txtContactPerson, txtLocation})
        upperCase(e);
    for (QWidget* w : std::initializer_list<QWidget*>{txtSubsidiary, dtpOpening, txtContactPerson, txt_address, txtAdd2,
                                                      txt_telno, txt_faxno, txt_email, txt_website, txtLocation,
                                                      txt_OpenBal, txt_Gstno, txt_Ntnno})
        enterAsTab(w);
    // Digits and comma; the blank is refused.
    charFilter(txt_telno, QStringLiteral("[0-9,]"));
    charFilter(txt_faxno, QStringLiteral("[0-9,]"));
    // Digits, one point, one minus sign and thousands commas, at most 14 characters.
    amountBox(txt_OpenBal, 14, true);
    selectAllOnFocus(txt_OpenBal);
}

void AccountEntry::clearDetails()
{
    clearBound(this, Tag);
    setDigitMask(txt_Gstno, GstMask);
    txt_Gstno->clear();
    setDigitMask(txt_Ntnno, NtnMask);
    txt_Ntnno->clear();
    dtpOpening->setDate(QDate::currentDate());
    // A bank or supplier mark left from the account looked at before would be stored with the
    // next new account.
    chkBank->setChecked(false);
    chkSupplier->setChecked(false);
    readOtherOpenings(false);
}

void AccountEntry::fillDetails(const RecordSet& rs)
{
    for (QLineEdit* e : boundBoxes(this, Tag))
        if (e->inputMask().isEmpty())
            e->setText(rs.text(e->property("dataField").toString()));
    const QDate opened = rs.field(QStringLiteral("openDate")).toDate();
    dtpOpening->setDate(opened.isValid() ? opened : QDate::currentDate());
    if (!rs.isNull(QStringLiteral("GST")))
        txt_Gstno->setText(rs.text(QStringLiteral("GST")));
    if (!rs.isNull(QStringLiteral("NTN")))
        txt_Ntnno->setText(rs.text(QStringLiteral("NTN")));
    const QString b = rs.text(QStringLiteral("BStatus")).trimmed();
    chkBank->setChecked(b == QLatin1String("B"));
    chkSupplier->setChecked(b == QLatin1String("S"));
    readOtherOpenings(true);
}

void AccountEntry::readOtherOpenings(bool thisAccountStored)
{
    m_otherOpenings.reset();
    try {
        Money net;
        for (const Money m : rpt::OpeningBalances(Conn).all({}))
            net += m;
        // The account on screen counts with the figure in its box, not the stored one.
        if (thisAccountStored)
            net -= parseAmount(txt_OpenBal->text()).value_or(Money());
        m_otherOpenings = net;
    } catch (const DbError&) {
        // No figure rather than a wrong one; the box itself works as before.
    }
    showOpeningSide();
}

void AccountEntry::showOpeningSide()
{
    const Money typed = parseAmount(txt_OpenBal->text()).value_or(Money());
    lblOpenSide->setText(typed.cents > 0 ? QStringLiteral("Dr") : typed.cents < 0 ? QStringLiteral("Cr") : QString());
    if (!m_otherOpenings) {
        lblOpenDifference->clear();
        return;
    }
    Money net;
    try {
        net = *m_otherOpenings + typed;
    } catch (const DbError&) {
        lblOpenDifference->clear();
        return;
    }
    const Money shown = net.cents < 0 ? Money() - net : net;
    lblOpenDifference->setText(
        net.cents == 0 ? QStringLiteral("The openings of all accounts net to zero.")
                       : QStringLiteral("The openings of all accounts differ by %1 %2 (the difference in opening "
                                        "balances).")
                             .arg(displayAmount(shown), net.cents > 0 ? QStringLiteral("Dr") : QStringLiteral("Cr")));
}

void AccountEntry::setMaxLengths(AccountStore& store)
{
    for (QLineEdit* e : boundBoxes(this, Tag)) {
        if (e == txt_OpenBal || !e->inputMask().isEmpty())
            continue;
        const int w = store.columnWidth(e->property("dataField").toString());
        if (w > 0)
            e->setMaxLength(w);
    }
}

SubsidiaryInput AccountEntry::input() const
{
    SubsidiaryInput in;
    in.title = txtSubsidiary->text();
    in.openDate = dtpOpening->date();
    // The masked boxes are bound too, but are written only when fully typed.
    for (QLineEdit* e : boundBoxes(this, Tag))
        if (e->inputMask().isEmpty())
            in.fields.append({e->property("dataField").toString(), e->text()});
    if (maskComplete(txt_Gstno))
        in.gst = txt_Gstno->text();
    if (maskComplete(txt_Ntnno))
        in.ntn = txt_Ntnno->text();
    in.bStatus = chkBank->isChecked()       ? QStringLiteral("B")
                 : chkSupplier->isChecked() ? QStringLiteral("S")
                                            : QString();
    return in;
}

void AccountEntry::dropLoneDot()
{
    if (txt_OpenBal->text() == QLatin1String("."))
        txt_OpenBal->clear();
}

bool AccountEntry::openBalanceValid() const
{
    return txt_OpenBal->text().isEmpty() || parseAmount(txt_OpenBal->text()).has_value();
}

} // namespace qv
