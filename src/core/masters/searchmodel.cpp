#include "masters/searchmodel.h"

namespace qv {

namespace {
const struct {
    const char* header;
    int twips;
} Cols[AccountSearchModel::Columns] = {
    {"RowNo", 0},  {"Code", 1200},   {"Account Title", 5000},   {"Location", 2000},  {"Contact", 2000},
    {"Fax", 2000}, {"E-Mail", 2000}, {"Opening Balance", 1800}, {"Address 1", 3500}, {"Address 2", 3500}};
} // namespace

AccountSearchModel::AccountSearchModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void AccountSearchModel::setRows(AccountMatches rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

const ListedAccount* AccountSearchModel::line(int row) const
{
    return row >= 0 && row < int(m_rows.size()) ? &m_rows[size_t(row)] : nullptr;
}

namespace {
// Column c of the chart's search grid: RowID, AcNodes, AcName, Location, Contact, Fax, Email,
// OpenBal, Addr, Addr2; the amount as "##,###0.00", a null as an empty text.
QString chartText(const ListedAccount& a, int column)
{
    switch (column) {
    case 0:
        return QString::number(a.rowId);
    case 1:
        return a.acNodes.trimmed();
    case 2:
        return a.acName;
    case 3:
        return a.location;
    case 4:
        return a.contact;
    case 5:
        return a.fax;
    case 6:
        return a.email;
    case 7:
        return a.openBal ? displayAmount(*a.openBal) : QString();
    case 8:
        return a.addr;
    case 9:
        return a.addr2;
    }
    return {};
}
} // namespace

QString AccountSearchModel::header(int column)
{
    return column >= 0 && column < Columns ? QString::fromLatin1(Cols[column].header) : QString();
}

int AccountSearchModel::widthTwips(int column)
{
    return column >= 0 && column < Columns ? Cols[column].twips : 0;
}

int AccountSearchModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int AccountSearchModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Columns;
}

QVariant AccountSearchModel::data(const QModelIndex& index, int role) const
{
    const ListedAccount* l = index.isValid() ? line(index.row()) : nullptr;
    if (!l || index.column() >= Columns)
        return {};
    if (role == Qt::DisplayRole)
        return chartText(*l, index.column());
    if (role == Qt::TextAlignmentRole && index.column() == AmountColumn)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant AccountSearchModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return header(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

namespace {
const struct {
    const char* header;
    int twips;
} FinderCols[FinderModel::Columns] = {
    {"RowID", 0}, {"Code", 1200}, {"Account Title", 5000}, {"Opening Balance", 1500}, {"Contact", 2000}, {"Fax", 0},
    {"Addr", 0},  {"Addr2", 0}};
} // namespace

FinderModel::FinderModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void FinderModel::setRows(AccountMatches rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

const ListedAccount* FinderModel::line(int row) const
{
    return row >= 0 && row < int(m_rows.size()) ? &m_rows[size_t(row)] : nullptr;
}

QString FinderModel::header(int column)
{
    return column >= 0 && column < Columns ? QString::fromLatin1(FinderCols[column].header) : QString();
}

int FinderModel::widthTwips(int column)
{
    return column >= 0 && column < Columns ? FinderCols[column].twips : 0;
}

int FinderModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : qMax(1, int(m_rows.size()));
}

int FinderModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Columns;
}

QVariant FinderModel::data(const QModelIndex& index, int role) const
{
    const ListedAccount* a = index.isValid() ? line(index.row()) : nullptr;
    if (!a) {
        if (role == Qt::DisplayRole && index.isValid())
            return QString(); // the blank row
        return {};
    }
    if (role == Qt::TextAlignmentRole && index.column() == 3)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case 0:
        return QString::number(a->rowId);
    case 1:
        return a->acNodes;
    case 2:
        return a->acName;
    case 3:
        return a->openBal ? displayAmount(*a->openBal) : QString();
    case 4:
        return a->contact;
    case 5:
        return a->fax;
    case 6:
        return a->addr;
    case 7:
        return a->addr2;
    }
    return {};
}

QVariant FinderModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return header(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace qv
