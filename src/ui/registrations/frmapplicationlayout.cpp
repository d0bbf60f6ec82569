// The entry tab of the application window: its boxes, labels, options and buttons.
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

#include "registrations/frmapplication_p.h"
#include "registrations/registrationui.h"

using namespace qv::application;

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

    auto* buttons = qv::registrations::commandRow(tab, cmdSave, cmdDelete, cmdCancel, cmdPrint, cmdExit);

    auto* lay = new QVBoxLayout(tab);
    lay->addLayout(g);
    lay->addStretch(1);
    lay->addLayout(buttons);

    connect(CmbFind, &QPushButton::clicked, this, [] { qv::showFinder(true); });
    connect(cmdSave, &QPushButton::clicked, this, [this] { save(); });
    connect(cmdDelete, &QPushButton::clicked, this, [this] { deleteApplication(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] {
        if (!mayDropUnsavedWork())
            return;
        ClearAll();
        txtRowNo->setEnabled(true);
    });
    connect(cmdExit, &QPushButton::clicked, this, [this] { unload(); });
    // "&PRINT" has no action.
}
