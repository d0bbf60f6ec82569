#pragma once
// The lines of a voucher window's search list (mshSearch), kept as the list's own copy. A search
// that found nothing leaves two empty rows and no header texts. A refill is one model reset; a
// cell's text is made only when the view asks for it.
#include "vouchers/vouchersearch.h"

#include <QAbstractTableModel>
#include <vector>

namespace qv {

class VoucherSearchModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int Columns = 5;
    static constexpr int EmptyRows = 2;

    explicit VoucherSearchModel(QObject* parent = nullptr);

    void setRows(std::vector<FoundVoucher> rows);
    // Adds the next page of a long list below the lines already there.
    void appendRows(const std::vector<FoundVoucher>& rows);
    // The voucher of list row `row`, or null (outside the list, or an empty row).
    const FoundVoucher* line(int row) const;
    bool isEmpty() const { return m_rows.empty(); }

    // "Voucher # ", "Voucher Date", "Paid To", "Amount", "Multi" and their widths in twips.
    static QString header(int column);
    static int widthTwips(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<FoundVoucher> m_rows;
};

} // namespace qv
