#pragma once
// The lines of the subsidiary search behind the chart window's grid (mshSearch): read-only,
// ten columns, RowID first; and the account finder's list (eight columns, the last three
// hidden). A refill is one model reset over a vector of lines; a cell's text is made only when
// the view asks for it, so only the lines in view are ever formatted.
#include "masters/accountlist.h"

#include <QAbstractTableModel>
#include <vector>

namespace qv {

class AccountSearchModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int Columns = 10;
    static constexpr int AmountColumn = 7; // OpenBal, right aligned

    explicit AccountSearchModel(QObject* parent = nullptr);

    // Replaces every line at once.
    void setRows(AccountMatches rows);
    // The account shown in row `row`, or null outside the list.
    const ListedAccount* line(int row) const;

    // Each column's header and width in twips (RowID's width 0: hidden).
    static QString header(int column);
    static int widthTwips(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    AccountMatches m_rows;
};

// The finder's list: RowID (hidden), Code, Account Title, Opening Balance, Contact, then Fax,
// Addr and Addr2 hidden; hidden columns carry their field names as headers. An empty list
// shows one blank row, which hands nothing back.
class FinderModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int Columns = 8;

    explicit FinderModel(QObject* parent = nullptr);

    void setRows(AccountMatches rows);
    // The account of list row `row`, or null (outside the list, or the blank row).
    const ListedAccount* line(int row) const;
    static QString header(int column);
    static int widthTwips(int column); // 0: hidden

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    AccountMatches m_rows;
};

} // namespace qv
