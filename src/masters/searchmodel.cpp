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

void AccountSearchModel::setRows(std::vector<FoundAccount> rows)
{
    beginResetModel();
    m_rows.swap(rows);
    endResetModel();
}

const FoundAccount* AccountSearchModel::line(int row) const
{
    return row >= 0 && row < int(m_rows.size()) ? &m_rows[size_t(row)] : nullptr;
}

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
    const FoundAccount* l = index.isValid() ? line(index.row()) : nullptr;
    if (!l || index.column() >= Columns)
        return {};
    if (role == Qt::DisplayRole)
        return (*l)[index.column()];
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

} // namespace qv
