#include "registrations/frmapplication.h"

#include "masters/finderpick.h"
#include "registrations/registrationstore.h"
#include "registrations/registrationui.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"
#include "db/tables.h"
#include "widgets/bound.h"
#include "widgets/guarded.h"
#include "widgets/keys.h"
#include "widgets/msgbox.h"
#include "widgets/status.h"
#include "widgets/named.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "registrations/frmapplication_p.h"

using namespace qv::application;

frmApplication::frmApplication(QWidget* parent)
    : qv::MdiChild(parent)
{
    setObjectName(QStringLiteral("frmApplication"));
    setWindowTitle(QStringLiteral("Application"));
    SSTab1 = qv::registrations::entryAndSearchTabs(
        this, QStringLiteral(" APPLICATION DATA"), [this](QWidget* t) { buildEntryTab(t); }, QStringLiteral("SEARCH"),
        [this](QWidget* t) { buildSearchTab(t); });

    CmbSex->addItems({QStringLiteral("Male"), QStringLiteral("Female")});
    CmbSex->setCurrentIndex(0);
    cmb_s_cri->addItems({QStringLiteral("Registration NO"), QStringLiteral("Name"), QStringLiteral("Reg Date")});
    cmb_s_cri->setCurrentIndex(0);
    FillGrid();
    SetMaxLenght();
    SSTab1->setCurrentIndex(0);
    m_stored.watch({txtRowNo, txtCusId, txtCusName, txtRegNo, RegDate, txtPlace, txtName, txtFName, txtGuardian,
                    DateOfBirth, msk_Nic_no, CmbSex, txtAddress, txtChInAddress, txtPhNo, txtRes, txtCellNo,
                    OptOnBooking, OptCash});
    txtRegNo->setFocus();
}

QSize frmApplication::sizeHint() const
{
    return {qv::twips(11400), qv::twips(7600)};
}

void frmApplication::buildSearchTab(QWidget* tab)
{
    cmb_s_cri = qv::named<QComboBox>(tab, "cmb_s_cri");
    cmb_s_cri->setEditable(true);
    cmb_s_cri->setInsertPolicy(QComboBox::NoInsert);
    txt_s_value = qv::named<QLineEdit>(tab, "txt_s_value");
    qv::enterAsTab(txt_s_value);
    qv::upperCase(txt_s_value);
    txt_s_value->installEventFilter(this);
    DTPicker1 = datePicker(tab, "DTPicker1");
    DTPicker1->setVisible(false);
    Msh = qv::registrations::searchGrid(tab, this);

    auto* top = new QHBoxLayout;
    auto* l1 = new QLabel(QStringLiteral("Search Criteria"), tab);
    l1->setBuddy(cmb_s_cri);
    auto* l2 = new QLabel(QStringLiteral("Search Value "), tab);
    l2->setBuddy(txt_s_value);
    top->addWidget(l1);
    top->addWidget(cmb_s_cri);
    top->addSpacing(12);
    top->addWidget(l2);
    top->addWidget(txt_s_value, 1);
    top->addWidget(DTPicker1);
    cmb_s_cri->setMinimumWidth(qv::twips(2400));
    auto* lay = new QVBoxLayout(tab);
    lay->addLayout(top);
    lay->addWidget(Msh, 1);

    connect(cmb_s_cri, &QComboBox::currentTextChanged, this,
            [this](const QString& t) { DTPicker1->setVisible(t == QLatin1String("Reg Date")); });
    connect(txt_s_value, &QLineEdit::textChanged, this, [this] { FillGrid(); });
    connect(DTPicker1, &QDateEdit::dateChanged, this, [this] { FillGrid(); });
    connect(Msh, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { pick(row); });
}

void frmApplication::SetMaxLenght()
{
    qv::guarded([this] { qv::setBoundMaxLengths(this, Tag, Conn, QLatin1String(qv::tbl::Application)); });
}

void frmApplication::clearNic()
{
    msk_Nic_no->setInputMask(QString());
    msk_Nic_no->clear();
    qv::setDigitMask(msk_Nic_no, NicMask);
}

void frmApplication::ClearAll()
{
    qv::clearBound(this, Tag);
    clearNic();
    txtCusName->clear();
    m_stored.take();
}

bool frmApplication::hasUnsavedWork() const
{
    return m_stored.changed();
}

void frmApplication::onActivated()
{
    // The finder's pick: the title shown, the account's RowID kept in its own box.
    if (const std::optional<qv::FinderPick> pick = qv::takeFinderPick()) {
        txtCusName->setText(pick->name);
        txtCusId->setText(QString::number(pick->rowId));
    }
}

void frmApplication::FillGrid()
{
    const QString criterion = cmb_s_cri->currentText();
    qv::ApplicationCriterion by;
    if (criterion == QLatin1String("Registration NO"))
        by = qv::ApplicationCriterion::RegNo;
    else if (criterion == QLatin1String("Name"))
        by = qv::ApplicationCriterion::Name;
    else if (criterion == QLatin1String("Reg Date"))
        by = qv::ApplicationCriterion::RegDate;
    else
        return; // no criterion of the list: the grid stays as it is
    std::vector<qv::Application> rows;
    qv::guarded([&] { rows = qv::RegistrationStore(Conn).applications(by, txt_s_value->text(), DTPicker1->date()); });
    Msh->setUpdatesEnabled(false);
    Msh->clearContents();
    Msh->setColumnCount(ColumnCount);
    Msh->setRowCount(rows.empty() ? 1 : int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r) {
        const qv::Application& a = rows[r];
        const QString cells[ColumnCount] = {QString::number(a.rowNo),
                                            a.regNo,
                                            a.place,
                                            gridDate(a.regDate),
                                            a.customer,
                                            a.name,
                                            a.fatherName,
                                            a.guardian,
                                            gridDate(a.dateOfBirth),
                                            a.nationality,
                                            a.sex,
                                            a.address,
                                            a.changeInAdd,
                                            a.phoneNo,
                                            a.res,
                                            a.cellNo,
                                            a.modeOfPayment};
        for (int c = 0; c < ColumnCount; ++c)
            Msh->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    setGrid();
    Msh->setUpdatesEnabled(true);
}

void frmApplication::setGrid()
{
    for (int c = 0; c < ColumnCount; ++c) {
        Msh->setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromLatin1(GridColumns[c].header)));
        Msh->setColumnHidden(c, GridColumns[c].widthTwips == 0);
        if (GridColumns[c].widthTwips > 0)
            Msh->setColumnWidth(c, qv::twips(GridColumns[c].widthTwips));
    }
}

void frmApplication::FillData()
{
    if (txtRowNo->text().isEmpty())
        return;
    std::optional<qv::Application> a;
    if (!qv::guarded([&] { a = qv::RegistrationStore(Conn).application(txtRowNo->text().toLongLong()); }))
        return;
    if (!a) {
        qv::Msg::info(qv::RegistrationStore::noSuchApplication(txtRowNo->text()));
        return;
    }
    txtRegNo->setText(a->regNo);
    if (a->regDate.isValid())
        RegDate->setDate(a->regDate);
    clearNic();
    if (!a->nationality.isEmpty())
        msk_Nic_no->setText(a->nationality);
    txtPlace->setText(a->place);
    txtName->setText(a->name);
    txtFName->setText(a->fatherName);
    txtGuardian->setText(a->guardian);
    if (a->dateOfBirth.isValid())
        DateOfBirth->setDate(a->dateOfBirth);
    txtAddress->setText(a->address);
    txtChInAddress->setText(a->changeInAdd);
    txtPhNo->setText(a->phoneNo);
    txtRes->setText(a->res);
    txtCellNo->setText(a->cellNo);
    CmbSex->setCurrentText(a->sex);
    txtCusId->setText(a->acCode ? QString::number(*a->acCode) : QString());
    txtCusName->setText(a->customer);
    if (a->modeOfPayment == OnBooking)
        OptOnBooking->setChecked(true);
    else if (a->modeOfPayment == Cash)
        OptCash->setChecked(true);
}

void frmApplication::pick(int row)
{
    if (row < 0 || cell(Msh, row, 0).isEmpty() || !mayDropUnsavedWork())
        return;
    ClearAll();
    txtRowNo->setText(cell(Msh, row, 0));
    FillData();
    m_stored.take();
    if (OpenedForCaller) {
        unload();
        return;
    }
    SSTab1->setCurrentIndex(0);
    cmdSave->setText(QStringLiteral("&Save"));
    txtRegNo->setFocus();
}

void frmApplication::save()
{
    const std::pair<QWidget*, const char*> checks[] = {
        {txtName, "please enter Name Mr./ Mrs. /Miss "},
        {txtCusName, "please enter Customer Name"},
        {txtRegNo, "please enter Reg No"},
    };
    for (const auto& [box, message] : checks) {
        if (static_cast<QLineEdit*>(box)->text().isEmpty()) {
            qv::Msg::info(QString::fromLatin1(message));
            box->setFocus();
            return;
        }
    }
    if (!qv::maskComplete(msk_Nic_no)) {
        qv::Msg::info(QStringLiteral("Please complete enter NIC No"));
        msk_Nic_no->setFocus();
        return;
    }
    m_newRecord = txtRowNo->text().isEmpty();
    qv::ApplicationInput in;
    in.rowNo = txtRowNo->text();
    in.acCode = txtCusId->text();
    for (QLineEdit* e : qv::boundBoxes(this, Tag))
        if (e != txtRowNo && e != txtCusId)
            in.fields.append({e->property("dataField").toString(), e->text()});
    in.regDate = RegDate->date();
    in.dateOfBirth = DateOfBirth->date();
    in.nationality = msk_Nic_no->text();
    in.sex = CmbSex->currentText();
    if (OptOnBooking->isChecked())
        in.modeOfPayment = OnBooking;
    else if (OptCash->isChecked())
        in.modeOfPayment = Cash;
    qv::RegistrationResult r;
    // On failure what was typed stays, so the save can be tried again.
    if (!qv::guarded([&] { r = qv::RegistrationStore(Conn).saveApplication(in); }, txtRegNo))
        return;
    if (!r.ok()) {
        qv::Msg::info(r.message);
        if (r.status == qv::SaveStatus::NoSuchRow)
            txtRowNo->setFocus();
        else
            CmbFind->setFocus();
        return;
    }
    qv::Status::say(QStringLiteral("Application %1 of %2 saved").arg(r.key).arg(txtName->text()));
    FillGrid();
    ClearAll();
}

void frmApplication::deleteApplication()
{
    const QString no = txtRowNo->text();
    if (!qv::registrations::confirmAndDelete(
            no, [&] { return qv::RegistrationStore(Conn).deleteApplication(no); },
            qv::RegistrationStore::noSuchApplication(no)))
        return;
    ClearAll();
    FillGrid();
}

bool frmApplication::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (watched == txt_s_value && (key == Qt::Key_Up || key == Qt::Key_Down)) {
            Msh->setFocus();
            if (Msh->currentRow() < 0)
                Msh->setCurrentCell(0, 1);
            return true;
        }
        // Enter on a listed application closes the window.
        if (watched == Msh && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            if (!cell(Msh, Msh->currentRow(), 0).isEmpty())
                unload();
            return true;
        }
    }
    return qv::MdiChild::eventFilter(watched, event);
}
