#include "vouchers/vouchersearchmodel.h"

#include <QThreadPool>
#include <memory>

namespace qv {

namespace {
const struct {
    const char* header;
    int twips;
} Cols[VoucherSearchModel::Columns] = {
    {"Voucher # ", 2000}, {"Voucher Date", 2000}, {"Paid To", 5000}, {"Amount", 2000}, {"Multi", 1000}};
constexpr int AmountColumn = 3;
} // namespace

VoucherSearchModel::VoucherSearchModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void VoucherSearchModel::setRows(std::vector<FoundVoucher> rows)
{
    beginResetModel();
    m_rows.swap(rows);
    endResetModel();
    // `rows` holds the list shown before: freeing a few hundred thousand lines would take a
    // keystroke's time, so a worker does it (the texts' shared counts are atomic).
    if (rows.size() > 20000) {
        auto old = std::make_shared<std::vector<FoundVoucher>>(std::move(rows));
        QThreadPool::globalInstance()->start([old] {
            old->clear();
            old->shrink_to_fit();
        });
    }
}

void VoucherSearchModel::appendRows(const std::vector<FoundVoucher>& rows)
{
    if (rows.empty())
        return;
    if (m_rows.empty()) { // the two empty rows and the bare header give way to the lines
        setRows(rows);
        return;
    }
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + rows.size()) - 1);
    m_rows.insert(m_rows.end(), rows.begin(), rows.end());
    endInsertRows();
}

const FoundVoucher* VoucherSearchModel::line(int row) const
{
    return row >= 0 && row < int(m_rows.size()) ? &m_rows[size_t(row)] : nullptr;
}

QString VoucherSearchModel::header(int column)
{
    return column >= 0 && column < Columns ? QString::fromLatin1(Cols[column].header) : QString();
}

int VoucherSearchModel::widthTwips(int column)
{
    return column >= 0 && column < Columns ? Cols[column].twips : 0;
}

int VoucherSearchModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows.empty() ? EmptyRows : int(m_rows.size());
}

int VoucherSearchModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Columns;
}

QVariant VoucherSearchModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.column() >= Columns)
        return {};
    const FoundVoucher* l = line(index.row());
    if (role == Qt::DisplayRole)
        return l ? (*l)[index.column()] : QString();
    if (role == Qt::TextAlignmentRole && index.column() == AmountColumn)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant VoucherSearchModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_rows.empty() ? QString() : header(section);
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return QString();
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace qv
