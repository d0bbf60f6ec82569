#pragma once
// The class of each control head (Assets, Liabilities, Equity, Income, Expenses) and the month
// the book's financial year starts, each in a table of its own beside the chart. The balance
// sheet and the profit and loss account read them; a head without a class stops both, naming it.
#include "db/connection.h"

#include <QDate>
#include <QList>
#include <QMap>

namespace qv {

struct ControlHead {
    QString nodes, name;
    QChar cls; // 'A', 'L', 'E', 'I', 'X'; null: not classified yet
};

class AccountClasses {
public:
    static constexpr int DefaultStartMonth = 7; // July, as a Pakistani company's year

    explicit AccountClasses(Connection& c)
        : m_c(c)
    {
    }
    // The five classes' letters and names, in the order the statements show them.
    static const QList<QPair<QChar, QString>>& all();
    static QString name(QChar cls); // empty for an unknown letter
    // A letter or a name, in any case ("a", "Assets", "expenses"); null when it is neither.
    static QChar parse(const QString& text);

    // Every control head in the order of its code, with its class.
    QList<ControlHead> heads();
    // The class by control code; heads without one are left out.
    QMap<QString, QChar> byCode();
    // "CODE NAME" of each head without a class, in the order of the codes.
    QStringList unclassified();
    // Sets (or, with a null class, clears) the class of the control head `nodes`. An unknown
    // head or letter is refused with a DbError.
    void set(const QString& nodes, QChar cls);

    // Called as a control account is deleted, in that transaction: its class goes with it, so
    // that a new head given the freed code does not inherit it. Other accounts: nothing.
    void forgetDeletedHead(qint64 rowId);

    int startMonth();
    void setStartMonth(int month); // 1 to 12, else DbError

private:
    Connection& m_c;
};

// The first day of the financial year holding `day`, for a year starting on the 1st of `startMonth`.
QDate financialYearStart(const QDate& day, int startMonth);

} // namespace qv
