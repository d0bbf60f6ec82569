#include "masters/frmcompany.h"

#include "masters/companystore.h"
#include "shell/mdl_connection.h"
#include "widgets/bound.h"
#include "widgets/keyrules.h"
#include "widgets/keys.h"
#include "widgets/status.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
const QString Tag = QStringLiteral("M");
const QString TaxMask = QStringLiteral("##-##-####-###-##");
const QString NtnMask = QStringLiteral("#######-#");

struct Column {
    const char* header;
    int widthTwips; // 0: hidden
};
constexpr Column GridColumns[] = {{"CompCode", 0},   {"Company", 3000}, {"Telephone", 3000},  {"Fax", 3000},
                                  {"Address", 4000}, {"Active", 800},   {"Sale Tax #", 1500}, {"NTN #", 1300},
                                  {"Email", 2000},   {"WebSite", 2000}};
constexpr int ColumnCount = int(sizeof(GridColumns) / sizeof(GridColumns[0]));

QString cell(const QTableWidget* grid, int row, int column)
{
    const QTableWidgetItem* item = grid->item(row, column);
    return item ? item->text() : QString();
}
} // namespace

frmCompany::frmCompany(QWidget* parent)
    : qv::MdiChild(parent)
{
    setObjectName(QStringLiteral("frmCompany"));
    setWindowTitle(QStringLiteral("Company Information"));
    SSTab = new QTabWidget(this);
    SSTab->setObjectName(QStringLiteral("SSTab"));
    auto* entry = new QWidget(SSTab);
    auto* search = new QWidget(SSTab);
    buildEntryTab(entry);
    buildSearchTab(search);
    SSTab->addTab(entry, QStringLiteral("Add / Change Company"));
    SSTab->addTab(search, QStringLiteral("Search Company"));
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(SSTab);

    FillGrid();
    SetMaxlength();
    SSTab->setCurrentIndex(0);
    m_firstFocus = txtCompany;
    m_stored.watch({txtCompany, txtAddr, txtTel, txtFax, mskTax, mskNTN, txtEmail, txtWebSite, chkComActive});
    sayNew();
    txtCompany->setFocus();
}

QSize frmCompany::sizeHint() const
{
    return {qv::twips(9600), qv::twips(6600)};
}

void frmCompany::buildEntryTab(QWidget* tab)
{
    auto box = [tab](const char* name, const char* column) {
        auto* e = new QLineEdit(tab);
        e->setObjectName(QString::fromLatin1(name));
        if (*column)
            qv::bind(e, Tag, QString::fromLatin1(column));
        return e;
    };
    txtCompCode = box("txtCompCode", "");
    txtCompCode->setVisible(false);
    txtCompCode->setEnabled(false);
    txtCompany = box("txtCompany", "Company");
    txtAddr = box("txtAddr", "comAddr");
    txtTel = box("txtTel", "comTel");
    txtFax = box("txtFax", "comFax");
    mskTax = new QLineEdit(tab);
    mskTax->setObjectName(QStringLiteral("mskTax"));
    qv::setDigitMask(mskTax, TaxMask);
    mskNTN = new QLineEdit(tab);
    mskNTN->setObjectName(QStringLiteral("mskNTN"));
    qv::setDigitMask(mskNTN, NtnMask);
    txtEmail = box("txtEmail", "comEmail");
    txtWebSite = box("txtWebSite", "comWebSite");
    chkComActive = new QCheckBox(QStringLiteral("Active Company"), tab);
    chkComActive->setObjectName(QStringLiteral("chkComActive"));

    qv::upperCase(txtCompany);
    // Telephone: digits and blank through hyphen (comma among them); fax: digits, blank, comma.
    qv::charFilter(txtTel, QStringLiteral("[0-9\\x20-\\x2d]"));
    qv::charFilter(txtFax, QStringLiteral("[0-9 ,]"));
    for (QLineEdit* e : {txtCompany, txtTel, txtFax})
        qv::enterAsTab(e);

    auto* heading = new QLabel(QStringLiteral("Company Information"), tab);
    QFont hf = heading->font();
    hf.setPointSize(hf.pointSize() + 4);
    hf.setBold(true);
    heading->setFont(hf);
    auto* form = new QGridLayout;
    const std::pair<const char*, QWidget*> rows[] = {
        {"Company Name", txtCompany}, {"Address", txtAddr}, {"Contact No", txtTel},       {"Fax No.", txtFax},
        {"Sale Tax No", mskTax},      {"NTN No.", mskNTN},  {"E-mail Address", txtEmail}, {"Web Site", txtWebSite}};
    int r = 0;
    for (const auto& [caption, w] : rows) {
        auto* l = new QLabel(QString::fromLatin1(caption), tab);
        l->setBuddy(w);
        form->addWidget(l, r, 0);
        form->addWidget(w, r++, 1);
    }
    mskTax->setMaximumWidth(qv::twips(2400));
    mskNTN->setMaximumWidth(qv::twips(1600));
    form->addWidget(chkComActive, r, 1, Qt::AlignLeft);
    connect(chkComActive, &QCheckBox::toggled, this, [this](bool on) {
        QFont f = chkComActive->font();
        f.setBold(on);
        chkComActive->setFont(f);
    });

    cmdNew = new QPushButton(QStringLiteral("&Save"), tab);
    cmdNew->setObjectName(QStringLiteral("cmdNew"));
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), tab);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdDelete = new QPushButton(QStringLiteral("&Delete"), tab);
    cmdDelete->setObjectName(QStringLiteral("cmdDelete"));
    cmdExit = new QPushButton(QStringLiteral("E&xit"), tab);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {cmdNew, cmdCancel, cmdDelete, cmdExit})
        buttons->addWidget(b);

    auto* lay = new QVBoxLayout(tab);
    lay->addWidget(heading, 0, Qt::AlignHCenter);
    lay->addLayout(form);
    lay->addStretch(1);
    lay->addLayout(buttons);

    connect(cmdNew, &QPushButton::clicked, this, [this] { save(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] {
        if (!mayDropUnsavedWork())
            return;
        ClearAll();
        txtCompany->setFocus();
        sayNew();
    });
    connect(cmdDelete, &QPushButton::clicked, this, [this] { deleteCompany(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { unload(); });
}

void frmCompany::buildSearchTab(QWidget* tab)
{
    auto* label = new QLabel(QStringLiteral("Company Name :"), tab);
    txtSearch = new QLineEdit(tab);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    label->setBuddy(txtSearch);
    Msh = new QTableWidget(tab);
    Msh->setObjectName(QStringLiteral("Msh"));
    Msh->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Msh->setSelectionBehavior(QAbstractItemView::SelectRows);
    Msh->setSelectionMode(QAbstractItemView::SingleSelection);
    Msh->verticalHeader()->setVisible(false);
    Msh->verticalHeader()->setDefaultSectionSize(20);
    auto* top = new QHBoxLayout;
    top->addWidget(label);
    top->addWidget(txtSearch, 1);
    auto* lay = new QVBoxLayout(tab);
    lay->addLayout(top);
    lay->addWidget(Msh, 1);
    connect(txtSearch, &QLineEdit::textChanged, this, [this] { FillGrid(); });
    connect(Msh, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { pickRow(row); });
    qv::enterActsAsDoubleClick(Msh);
}

void frmCompany::SetMaxlength()
{
    qv::guarded([this] { qv::setBoundMaxLengths(this, Tag, Conn, QStringLiteral("Company")); });
}

void frmCompany::setMask(QLineEdit* box, const QString& text)
{
    qv::setDigitMask(box, box == mskTax ? TaxMask : NtnMask);
    box->clear();
    if (!text.isEmpty())
        box->setText(text);
}

void frmCompany::ClearAll()
{
    qv::clearBound(this, Tag);
    setMask(mskTax, {});
    setMask(mskNTN, {});
    chkComActive->setChecked(false);
    txtCompCode->clear();
    m_stored.take();
}

bool frmCompany::hasUnsavedWork() const
{
    return m_stored.changed();
}

void frmCompany::FillGrid()
{
    QList<qv::CompanyRow> rows;
    qv::guarded([&] { rows = qv::CompanyStore(Conn).search(txtSearch->text()); });
    Msh->setUpdatesEnabled(false);
    Msh->clearContents();
    Msh->setColumnCount(ColumnCount);
    Msh->setRowCount(rows.isEmpty() ? 1 : int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const qv::CompanyRow& c = rows[r];
        const QString cells[ColumnCount] = {QString::number(c.compCode),
                                            c.company,
                                            c.comTel,
                                            c.comFax,
                                            c.comAddr,
                                            c.comActive,
                                            c.comTax,
                                            c.comNTN,
                                            c.comEmail,
                                            c.comWebSite};
        for (int col = 0; col < ColumnCount; ++col)
            Msh->setItem(r, col, new QTableWidgetItem(cells[col]));
    }
    for (int col = 0; col < ColumnCount; ++col) {
        Msh->setHorizontalHeaderItem(col, new QTableWidgetItem(QString::fromLatin1(GridColumns[col].header)));
        Msh->setColumnHidden(col, GridColumns[col].widthTwips == 0);
        if (GridColumns[col].widthTwips > 0)
            Msh->setColumnWidth(col, qv::twips(GridColumns[col].widthTwips));
    }
    qv::scrollHome(Msh);
    Msh->setUpdatesEnabled(true);
}

void frmCompany::pickRow(int row)
{
    const QString code = cell(Msh, row, 0);
    if (code.isEmpty()) {
        // An empty row: the next save adds a new company.
        txtCompCode->clear();
        return;
    }
    if (!mayDropUnsavedWork())
        return;
    txtCompCode->setText(code);
    txtCompany->setText(cell(Msh, row, 1));
    txtAddr->setText(cell(Msh, row, 4));
    txtTel->setText(cell(Msh, row, 2));
    txtFax->setText(cell(Msh, row, 3));
    chkComActive->setChecked(cell(Msh, row, 5) == QLatin1String("Y"));
    setMask(mskTax, cell(Msh, row, 6));
    setMask(mskNTN, cell(Msh, row, 7));
    txtEmail->setText(cell(Msh, row, 8));
    txtWebSite->setText(cell(Msh, row, 9));
    cmdNew->setText(QStringLiteral("&Save"));
    m_stored.take();
    SSTab->setCurrentIndex(0);
    txtCompany->setFocus();
}

void frmCompany::save()
{
    if (txtCompany->text().isEmpty()) {
        qv::Msg::info(QStringLiteral("please enter Company Name "));
        txtCompany->setFocus();
        return;
    }
    QVariantMap columns;
    for (QLineEdit* e : qv::boundBoxes(this, Tag))
        columns.insert(e->property("dataField").toString(), e->text().isEmpty() ? QVariant() : QVariant(e->text()));
    // A half-typed number is not written: the stored one, if any, stays.
    if (qv::maskComplete(mskTax))
        columns.insert(QStringLiteral("comTax"), mskTax->text());
    if (qv::maskComplete(mskNTN))
        columns.insert(QStringLiteral("comNTN"), mskNTN->text());
    std::optional<qint64> code;
    if (!txtCompCode->text().isEmpty())
        code = txtCompCode->text().toLongLong();
    // On failure the entries stay on screen so that nothing typed is lost.
    if (!qv::guarded([&] { qv::CompanyStore(Conn).save(code, columns, chkComActive->isChecked()); }, txtCompany))
        return;
    qv::Status::say(QStringLiteral("Company %1 saved").arg(txtCompany->text()));
    ClearAll();
    FillGrid();
    txtCompany->setFocus();
}

void frmCompany::deleteCompany()
{
    if (txtCompCode->text().isEmpty())
        return;
    if (qv::Msg::askDestructive(QStringLiteral("are you sure delete this Company"))) {
        qv::guarded([this] {
            const QString name = txtCompany->text();
            qv::CompanyStore(Conn).remove(txtCompCode->text().toLongLong());
            ClearAll();
            FillGrid();
            qv::Status::say(QStringLiteral("Company %1 deleted").arg(name));
        });
    }
    txtCompany->setFocus();
}

void frmCompany::sayNew()
{
    qv::Status::say(QStringLiteral("New company: type its details, or pick one in Search to change it"));
}
