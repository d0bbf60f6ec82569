#include "registrations/frmapplication.h"

#include "masters/finderpick.h"
#include "registrations/registrationstore.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"
#include "db/tables.h"
#include "widgets/bound.h"
#include "widgets/guarded.h"
#include "widgets/keys.h"
#include "widgets/msgbox.h"
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

namespace {
const QString Tag = QStringLiteral("D");
const QString NicMask = QStringLiteral("#####-#######-#");
const QString DateFormat = QStringLiteral("dd/MM/yyyy");
const QString GridDate = QStringLiteral("dd-MM-yyyy");
const QString OnBooking = QStringLiteral("ON BOOKING");
const QString Cash = QStringLiteral("CASH");

struct Column {
    const char* header;
    int widthTwips; // 0: hidden
};
constexpr Column GridColumns[] = {{"Row No", 0},
                                  {"Reg No", 2000},
                                  {"Place", 3000},
                                  {"Reg Date", 1300},
                                  {"Customer Name", 3000},
                                  {"Name", 3000},
                                  {"Father Name", 3000},
                                  {"Guardian", 3000},
                                  {"Date of Birth", 1400},
                                  {"Nationality", 3000},
                                  {"Sex", 800},
                                  {"Address", 4000},
                                  {"Change in Address", 4000},
                                  {"Phone No", 3000},
                                  {"Res", 3000},
                                  {"Cell No", 3000},
                                  {"Mode Of Payment", 3000}};
constexpr int ColumnCount = int(sizeof(GridColumns) / sizeof(GridColumns[0]));

QString cell(const QTableWidget* grid, int row, int column)
{
    const QTableWidgetItem* item = grid->item(row, column);
    return item ? item->text() : QString();
}

QString gridDate(const QDate& d)
{
    return d.isValid() ? d.toString(GridDate) : QString();
}

QDateEdit* datePicker(QWidget* parent, const char* name)
{
    auto* d = new QDateEdit(QDate::currentDate(), parent);
    d->setObjectName(QString::fromLatin1(name));
    d->setDisplayFormat(DateFormat);
    d->setCalendarPopup(true);
    return d;
}
} // namespace

frmApplication::frmApplication(QWidget* parent)
    : qv::MdiChild(parent)
{
    setObjectName(QStringLiteral("frmApplication"));
    setWindowTitle(QStringLiteral("Application"));
    SSTab1 = qv::named<QTabWidget>(this, "SSTab1");
    auto* entry = new QWidget(SSTab1);
    auto* search = new QWidget(SSTab1);
    buildEntryTab(entry);
    buildSearchTab(search);
    SSTab1->addTab(entry, QStringLiteral(" APPLICATION DATA"));
    SSTab1->addTab(search, QStringLiteral("SEARCH"));
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(SSTab1);

    CmbSex->addItems({QStringLiteral("Male"), QStringLiteral("Female")});
    CmbSex->setCurrentIndex(0);
    cmb_s_cri->addItems({QStringLiteral("Registration NO"), QStringLiteral("Name"), QStringLiteral("Reg Date")});
    cmb_s_cri->setCurrentIndex(0);
    FillGrid();
    SetMaxLenght();
    SSTab1->setCurrentIndex(0);
    txtRegNo->setFocus();
}

QSize frmApplication::sizeHint() const
{
    return {qv::twips(11400), qv::twips(7600)};
}

void frmApplication::buildEntryTab(QWidget* tab)
{
    // Created in the order of the form, which is also the Tab order.
    auto box = [tab](const char* name, const char* column) {
        auto* e = new QLineEdit(tab);
        e->setObjectName(QString::fromLatin1(name));
        qv::bind(e, Tag, QString::fromLatin1(column));
        return e;
    };
    auto label = [tab](const char* caption, QWidget* buddy) {
        auto* l = new QLabel(QString::fromLatin1(caption), tab);
        l->setBuddy(buddy);
        return l;
    };
    txtRowNo = box("txtRowNo", "RowNo");
    txtRowNo->setEnabled(false);
    txtRowNo->setToolTip(QStringLiteral("Row No"));
    txtCusName = qv::named<QLineEdit>(tab, "txtCusName");
    CmbFind = qv::named<QPushButton>(tab, "CmbFind", QStringLiteral("Find "));
    txtCusId = box("txtCusId", "ACCode");
    // Filled only by the finder's pick (or from a stored application).
    txtCusId->setReadOnly(true);
    txtCusId->setFocusPolicy(Qt::NoFocus);
    txtCusId->setToolTip(QStringLiteral("Customer account"));
    txtRegNo = box("txtRegNo", "RegNo");
    RegDate = datePicker(tab, "RegDate");
    txtPlace = box("txtPlace", "Place");
    txtName = box("txtName", "Name");
    txtFName = box("txtFName", "FatherName");
    txtGuardian = box("txtGuardian", "Guardian");
    DateOfBirth = datePicker(tab, "DateOfBirth");
    msk_Nic_no = qv::named<QLineEdit>(tab, "msk_Nic_no");
    clearNic();
    CmbSex = qv::named<QComboBox>(tab, "CmbSex");
    txtAddress = box("txtAddress", "Address");
    txtChInAddress = box("txtChInAddress", "ChangeInAdd");
    txtPhNo = box("txtPhNo", "PhoneNo");
    txtRes = box("txtRes", "Res");
    txtCellNo = box("txtCellNo", "CellNo");
    auto* payment = new QGroupBox(QStringLiteral("Mode Of Payment"), tab);
    payment->setObjectName(QStringLiteral("fraPayment"));
    OptOnBooking = qv::named<QRadioButton>(payment, "OptOnBooking", QStringLiteral("On Booking "));
    OptCash = qv::named<QRadioButton>(payment, "OptCash", QStringLiteral("CASH"));
    auto* pl = new QHBoxLayout(payment);
    pl->addWidget(OptOnBooking);
    pl->addWidget(OptCash);
    pl->addStretch(1);

    qv::enterAsTab(txtRegNo);
    for (QLineEdit* e : {txtPlace, txtName, txtFName, txtGuardian, txtAddress, txtChInAddress, txtPhNo, txtRes,
                         txtCellNo, txtCusName}) {
        qv::enterAsTab(e);
        qv::upperCase(e);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{CmbSex, msk_Nic_no, OptCash, OptOnBooking, RegDate, DateOfBirth})
        qv::enterAsTab(w);

    auto* heading = new QLabel(QStringLiteral("MY PARTICULARS ARE AS UNDER ( PLEASE WRITE IN BLOCK LETTERS )"), tab);
    heading->setObjectName(QStringLiteral("lblHeading"));
    QFont hf = heading->font();
    hf.setBold(true);
    heading->setFont(hf);

    auto* g = new QGridLayout;
    g->addWidget(label("Customer", txtCusName), 0, 0);
    g->addWidget(txtCusName, 0, 1, 1, 3);
    g->addWidget(CmbFind, 0, 4);
    auto* ids = new QHBoxLayout;
    ids->addWidget(txtCusId);
    ids->addWidget(txtRowNo);
    g->addLayout(ids, 0, 5);
    g->addWidget(label("Registration No", txtRegNo), 1, 0);
    g->addWidget(txtRegNo, 1, 1, 1, 3);
    g->addWidget(label("Date ", RegDate), 1, 4);
    g->addWidget(RegDate, 1, 5);
    g->addWidget(label("Place ", txtPlace), 2, 0);
    g->addWidget(txtPlace, 2, 1, 1, 5);
    g->addWidget(heading, 3, 0, 1, 6, Qt::AlignHCenter);
    g->addWidget(label("Mr. / Mrs./Miss ", txtName), 4, 0);
    g->addWidget(txtName, 4, 1, 1, 5);
    g->addWidget(label("Father's/Husband's Name", txtFName), 5, 0);
    g->addWidget(txtFName, 5, 1, 1, 5);
    auto* guardian = label("Guardian : ( To be filled only where the applicant is a minor )", txtGuardian);
    guardian->setWordWrap(true);
    g->addWidget(guardian, 6, 0, 1, 2);
    g->addWidget(txtGuardian, 6, 2, 1, 4);
    g->addWidget(label("Date Of Birth", DateOfBirth), 7, 0);
    g->addWidget(DateOfBirth, 7, 1);
    g->addWidget(label("Nationality", msk_Nic_no), 7, 2);
    g->addWidget(msk_Nic_no, 7, 3);
    g->addWidget(label("Sex", CmbSex), 7, 4);
    g->addWidget(CmbSex, 7, 5);
    g->addWidget(label("Address", txtAddress), 8, 0);
    g->addWidget(txtAddress, 8, 1, 1, 5);
    auto* changed = label("( Change in address to be intimated immadiately )", txtChInAddress);
    changed->setWordWrap(true);
    g->addWidget(changed, 9, 0, 1, 2);
    g->addWidget(txtChInAddress, 9, 2, 1, 4);
    g->addWidget(label("Phone No. Office ", txtPhNo), 10, 0);
    g->addWidget(txtPhNo, 10, 1);
    g->addWidget(label("Res.", txtRes), 10, 2);
    g->addWidget(txtRes, 10, 3);
    g->addWidget(label("Cell No", txtCellNo), 10, 4);
    g->addWidget(txtCellNo, 10, 5);
    g->addWidget(payment, 11, 0, 1, 4);
    g->setColumnStretch(1, 1);
    g->setColumnStretch(3, 1);
    g->setColumnStretch(5, 1);
    txtCusId->setMaximumWidth(qv::twips(900));
    txtRowNo->setMaximumWidth(qv::twips(900));
    msk_Nic_no->setMinimumWidth(qv::twips(2000));

    cmdSave = qv::named<QPushButton>(tab, "cmdSave", QStringLiteral("&Save"));
    cmdDelete = qv::named<QPushButton>(tab, "cmdDelete", QStringLiteral("&DELETE"));
    cmdCancel = qv::named<QPushButton>(tab, "cmdCancel", QStringLiteral("&CANCEL"));
    cmdPrint = qv::named<QPushButton>(tab, "cmdPrint", QStringLiteral("&PRINT"));
    cmdExit = qv::named<QPushButton>(tab, "cmdExit", QStringLiteral("E&XIT"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {cmdSave, cmdDelete, cmdCancel, cmdPrint, cmdExit})
        buttons->addWidget(b);

    auto* lay = new QVBoxLayout(tab);
    lay->addLayout(g);
    lay->addStretch(1);
    lay->addLayout(buttons);

    connect(CmbFind, &QPushButton::clicked, this, [] { qv::showFinder(true); });
    connect(cmdSave, &QPushButton::clicked, this, [this] { save(); });
    connect(cmdDelete, &QPushButton::clicked, this, [this] { deleteApplication(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] {
        ClearAll();
        txtRowNo->setEnabled(true);
    });
    connect(cmdExit, &QPushButton::clicked, this, [this] { unload(); });
    // "&PRINT" has no action.
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
    Msh = qv::named<QTableWidget>(tab, "Msh");
    Msh->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Msh->setSelectionBehavior(QAbstractItemView::SelectRows);
    Msh->setSelectionMode(QAbstractItemView::SingleSelection);
    Msh->verticalHeader()->setVisible(false);
    Msh->verticalHeader()->setDefaultSectionSize(20);
    Msh->installEventFilter(this);

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
}

void frmApplication::onActivated()
{
    // The finder's pick: the title shown, the account's RowID kept in its own box.
    if (!qv::finderPickPending())
        return;
    qv::takeFinderPick(txtCusName);
    txtCusId->setText(txtCusName->property("tag").toString());
    txtCusName->setProperty("tag", QVariant());
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
    if (row < 0 || cell(Msh, row, 0).isEmpty())
        return;
    ClearAll();
    txtRowNo->setText(cell(Msh, row, 0));
    FillData();
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
    FillGrid();
    ClearAll();
}

void frmApplication::deleteApplication()
{
    const QString no = txtRowNo->text();
    if (no.isEmpty())
        return;
    if (!qv::Msg::askYesNo(QStringLiteral("Are you sure delete this information"), QStringLiteral("Confirm"),
                           qv::Msg::Icon::Information))
        return;
    bool deleted = false;
    if (!qv::guarded([&] { deleted = qv::RegistrationStore(Conn).deleteApplication(no); }))
        return;
    if (!deleted) {
        qv::Msg::info(qv::RegistrationStore::noSuchApplication(no));
        return;
    }
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
