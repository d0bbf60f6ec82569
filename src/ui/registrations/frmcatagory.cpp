#include "registrations/frmcatagory.h"

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

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
const QString Tag = QStringLiteral("M");
const QColor Highlight(255, 255, 192);

struct Column {
    const char* header;
    int widthTwips;
};
constexpr Column GridColumns[] = {{"Catagory ID", 1200}, {"Catagory", 4000}, {"Cost", 1600}, {"Status", 1200}};
constexpr int ColumnCount = int(sizeof(GridColumns) / sizeof(GridColumns[0]));

QString cell(const QTableWidget* grid, int row, int column)
{
    const QTableWidgetItem* item = grid->item(row, column);
    return item ? item->text() : QString();
}

void setBase(QLineEdit* e, const QColor& c)
{
    QPalette p = e->palette();
    p.setColor(QPalette::Base, c);
    e->setPalette(p);
}
} // namespace

frmCatagory::frmCatagory(QWidget* parent)
    : qv::MdiChild(parent)
{
    setObjectName(QStringLiteral("frmCatagory"));
    setWindowTitle(QStringLiteral("Plots Catagory"));
    SSTab1 = qv::registrations::entryAndSearchTabs(
        this, QStringLiteral("CATAGORY ENTRY"), [this](QWidget* t) { buildEntryTab(t); }, QStringLiteral(" SEARCH"),
        [this](QWidget* t) { buildSearchTab(t); });

    cmb_s_cri->addItems({QStringLiteral("Catagory"), QStringLiteral("Catagory ID")});
    cmb_s_cri->setCurrentIndex(0);
    CmbStatus->addItems({QStringLiteral("Residential"), QStringLiteral("Commercial")});
    CmbStatus->setCurrentIndex(0);
    FillGrid(QString());
    SetMaxlength();
    SSTab1->setCurrentIndex(0);
    m_stored.watch({txtCataId, txtCatagory, txtAmount, CmbStatus});
    txtCatagory->setFocus();
}

QSize frmCatagory::sizeHint() const
{
    return {qv::twips(8900), qv::twips(6000)};
}

void frmCatagory::buildEntryTab(QWidget* tab)
{
    auto box = [tab](const char* name, const char* column) {
        auto* e = new QLineEdit(tab);
        e->setObjectName(QString::fromLatin1(name));
        qv::bind(e, Tag, QString::fromLatin1(column));
        return e;
    };
    txtCataId = box("txtCataId", "CataId");
    txtCataId->setEnabled(false);
    txtCatagory = box("txtCatagory", "Catagory");
    txtAmount = box("txtAmount", "Amount");
    CmbStatus = qv::named<QComboBox>(tab, "CmbStatus");
    // A list: typing picks an item, so the stored status is always one of the two.

    for (QWidget* w :
         {static_cast<QWidget*>(txtCataId), static_cast<QWidget*>(txtCatagory), static_cast<QWidget*>(CmbStatus)})
        qv::enterAsTab(w);
    qv::upperCase(txtCatagory);
    txtCatagory->installEventFilter(this);

    auto* title = new QLabel(QStringLiteral("PLOTS CATAGORY"), tab);
    title->setObjectName(QStringLiteral("lblTitle"));
    QFont tf = title->font();
    tf.setPointSize(tf.pointSize() + 6);
    tf.setBold(true);
    title->setFont(tf);

    auto* form = new QGridLayout;
    const std::pair<const char*, QWidget*> rows[] = {
        {"Catagory Code", txtCataId}, {"Catagory", txtCatagory}, {"Total Cost", txtAmount}, {"Status", CmbStatus}};
    int r = 0;
    for (const auto& [caption, w] : rows) {
        auto* l = new QLabel(QString::fromLatin1(caption), tab);
        l->setBuddy(w);
        form->addWidget(l, r, 0);
        form->addWidget(w, r++, 1);
    }
    txtCataId->setMaximumWidth(qv::twips(1500));
    txtAmount->setMaximumWidth(qv::twips(2200));
    CmbStatus->setMaximumWidth(qv::twips(2200));
    form->setColumnStretch(1, 1);

    auto* buttons = qv::registrations::commandRow(tab, cmdSave, cmdDelete, cmdCancel, cmdPrint, cmdExit);

    auto* lay = new QVBoxLayout(tab);
    lay->addWidget(title, 0, Qt::AlignHCenter);
    lay->addSpacing(12);
    lay->addLayout(form);
    lay->addStretch(1);
    lay->addLayout(buttons);

    connect(cmdSave, &QPushButton::clicked, this, [this] { save(); });
    connect(cmdDelete, &QPushButton::clicked, this, [this] { deleteCatagory(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] {
        if (!mayDropUnsavedWork())
            return;
        ClearAll();
        // From now on a code can be typed, to edit a category without the search.
        txtCataId->setEnabled(true);
    });
    connect(cmdExit, &QPushButton::clicked, this, [this] { unload(); });
    // "&PRINT" has no action.
}

void frmCatagory::buildSearchTab(QWidget* tab)
{
    cmb_s_cri = qv::named<QComboBox>(tab, "cmb_s_cri");
    // Chosen with the mouse only.
    cmb_s_cri->installEventFilter(this);
    txt_s_value = qv::named<QLineEdit>(tab, "txt_s_value");
    qv::enterAsTab(txt_s_value);
    qv::upperCase(txt_s_value);
    txt_s_value->installEventFilter(this);
    Msh = qv::registrations::searchGrid(tab, this);

    auto* top = new QGridLayout;
    auto* l1 = new QLabel(QStringLiteral("Search Criteria"), tab);
    auto* l2 = new QLabel(QStringLiteral("Search Value "), tab);
    l1->setBuddy(cmb_s_cri);
    l2->setBuddy(txt_s_value);
    top->addWidget(l1, 0, 0);
    top->addWidget(cmb_s_cri, 0, 1);
    top->addWidget(l2, 1, 0);
    top->addWidget(txt_s_value, 1, 1);
    top->setColumnStretch(2, 1);
    cmb_s_cri->setMinimumWidth(qv::twips(2200));
    txt_s_value->setMinimumWidth(qv::twips(3500));
    auto* lay = new QVBoxLayout(tab);
    lay->addLayout(top);
    lay->addWidget(Msh, 1);

    connect(txt_s_value, &QLineEdit::textChanged, this, [this] { FillGrid(cmb_s_cri->currentText()); });
    connect(Msh, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { pick(row); });
}

void frmCatagory::SetMaxlength()
{
    // The name box is limited to what its column holds; the code and cost boxes are not text.
    qv::guarded([this] {
        const int w = Conn.columnWidth(QLatin1String(qv::tbl::Catagory), QStringLiteral("Catagory"));
        if (w > 0)
            txtCatagory->setMaxLength(w);
    });
}

void frmCatagory::ClearAll()
{
    qv::clearBound(this, Tag);
    m_stored.take();
}

bool frmCatagory::hasUnsavedWork() const
{
    return m_stored.changed();
}

void frmCatagory::FillGrid(const QString& criterion)
{
    const qv::CategoryCriterion by = criterion == QLatin1String("Catagory")      ? qv::CategoryCriterion::Name
                                     : criterion == QLatin1String("Catagory ID") ? qv::CategoryCriterion::Code
                                                                                 : qv::CategoryCriterion::All;
    std::vector<qv::Category> rows;
    qv::guarded([&] { rows = qv::RegistrationStore(Conn).categories(by, txt_s_value->text()); });
    Msh->setUpdatesEnabled(false);
    Msh->clearContents();
    Msh->setColumnCount(ColumnCount);
    // No category: the header and one empty row.
    Msh->setRowCount(rows.empty() ? 1 : int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r) {
        const qv::Category& c = rows[r];
        const QString cells[ColumnCount] = {QString::number(c.cataId), c.catagory,
                                            c.amount ? qv::plainAmount(*c.amount) : QString(), c.status};
        for (int col = 0; col < ColumnCount; ++col) {
            auto* item = new QTableWidgetItem(cells[col]);
            if (col == 2)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            Msh->setItem(r, col, item);
        }
    }
    setGrid();
    Msh->setUpdatesEnabled(true);
}

void frmCatagory::setGrid()
{
    for (int col = 0; col < ColumnCount; ++col) {
        Msh->setHorizontalHeaderItem(col, new QTableWidgetItem(QString::fromLatin1(GridColumns[col].header)));
        Msh->setColumnWidth(col, qv::twips(GridColumns[col].widthTwips));
    }
}

void frmCatagory::pick(int row)
{
    if (row < 0 || cell(Msh, row, 0).isEmpty() || !mayDropUnsavedWork())
        return;
    Msh->setHorizontalHeaderItem(0, new QTableWidgetItem(QStringLiteral("Catagory ID")));
    txtCataId->setText(cell(Msh, row, 0));
    txtCatagory->setText(cell(Msh, row, 1));
    txtAmount->setText(cell(Msh, row, 2));
    CmbStatus->setCurrentText(cell(Msh, row, 3));
    m_stored.take();
    if (OpenedForCaller) {
        unload();
        return;
    }
    SSTab1->setCurrentIndex(0);
    cmdSave->setText(QStringLiteral("&Save"));
    txtCatagory->setFocus();
}

void frmCatagory::save()
{
    if (txtCatagory->text().isEmpty()) {
        qv::Msg::info(QStringLiteral("Please enter Catagory"));
        txtCatagory->setFocus();
        return;
    }
    m_newRecord = txtCataId->text().isEmpty();
    qv::CategoryInput in;
    in.cataId = txtCataId->text();
    for (QLineEdit* e : qv::boundBoxes(this, Tag))
        if (e != txtCataId)
            in.fields.append({e->property("dataField").toString(), e->text()});
    in.status = CmbStatus->currentText();
    qv::RegistrationResult r;
    // On failure what was typed stays, so the save can be tried again.
    if (!qv::guarded([&] { r = qv::RegistrationStore(Conn).saveCategory(in); }, txtCatagory))
        return;
    if (!r.ok()) {
        qv::Msg::info(r.message);
        (r.status == qv::SaveStatus::NotANumber ? txtAmount : txtCataId)->setFocus();
        return;
    }
    qv::Status::say(QStringLiteral("Catagory %1 %2 saved").arg(r.key).arg(txtCatagory->text()));
    FillGrid(QString());
    ClearAll();
}

void frmCatagory::deleteCatagory()
{
    const QString code = txtCataId->text();
    if (!qv::registrations::confirmAndDelete(
            code, [&] { return qv::RegistrationStore(Conn).deleteCategory(code); },
            qv::RegistrationStore::noSuchCategory(code)))
        return;
    ClearAll();
    FillGrid(QString());
}

bool frmCatagory::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type t = event->type();
    if (watched == txtCatagory && (t == QEvent::FocusIn || t == QEvent::FocusOut))
        setBase(txtCatagory, t == QEvent::FocusIn ? Highlight : QColor(Qt::white));
    if (t == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (watched == cmb_s_cri && key != Qt::Key_Tab && key != Qt::Key_Backtab)
            return true;
        if (watched == txt_s_value && (key == Qt::Key_Up || key == Qt::Key_Down)) {
            Msh->setFocus();
            if (Msh->currentRow() < 0)
                Msh->setCurrentCell(0, 1);
            return true;
        }
        if (watched == Msh && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            pick(Msh->currentRow());
            return true;
        }
    }
    return qv::MdiChild::eventFilter(watched, event);
}
