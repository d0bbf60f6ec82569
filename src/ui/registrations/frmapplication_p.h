#pragma once
// What the application window's two files share: the bound-box tag, the masks and formats,
// and the search grid's columns.
#include <QDate>
#include <QDateEdit>
#include <QString>
#include <QTableWidget>

#include "widgets/datebox.h"

namespace qv::application {

inline const QString Tag = QStringLiteral("D");
inline const QString NicMask = QStringLiteral("#####-#######-#");
inline const QString GridDate = QStringLiteral("dd-MM-yyyy");
inline const QString OnBooking = QStringLiteral("ON BOOKING");
inline const QString Cash = QStringLiteral("CASH");

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

inline QString cell(const QTableWidget* grid, int row, int column)
{
    const QTableWidgetItem* item = grid->item(row, column);
    return item ? item->text() : QString();
}

inline QString gridDate(const QDate& d)
{
    return d.isValid() ? d.toString(GridDate) : QString();
}

inline QDateEdit* datePicker(QWidget* parent, const char* name)
{
    auto* d = new DateBox(QDate::currentDate(), parent);
    d->setObjectName(QString::fromLatin1(name));
    return d;
}

} // namespace qv::application
