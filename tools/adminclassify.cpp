#include "tools/adminclassify.h"

#include "db/connection.h"
#include "masters/accountclasses.h"
#include "tools/admincommands.h"

#include <QLocale>
#include <QTextStream>

namespace qv {

int adminClassify(const AdminArgs& a)
{
    // Every value is checked before the book is opened.
    QList<QPair<QString, QChar>> sets;
    for (const QString& s : a.values(QStringLiteral("set"))) {
        const qsizetype eq = s.indexOf(QLatin1Char('='));
        const QChar cls = eq > 0 ? AccountClasses::parse(s.mid(eq + 1)) : QChar();
        const bool clear = eq > 0 && s.mid(eq + 1).trimmed().isEmpty();
        if (eq <= 0 || (cls.isNull() && !clear))
            throw AdminArgs::Error{QStringLiteral("--set takes CODE=CLASS, the class one of Assets, Liabilities, "
                                                  "Equity, Income, Expenses (or A, L, E, I, X; nothing clears it), "
                                                  "not \"%1\".")
                                       .arg(s)};
        sets.append({s.left(eq).trimmed(), cls});
    }
    int month = 0;
    if (a.has(QStringLiteral("start-month"))) {
        bool ok = false;
        month = a.value(QStringLiteral("start-month")).toInt(&ok);
        if (!ok || month < 1 || month > 12)
            throw AdminArgs::Error{QStringLiteral("--start-month takes a month from 1 to 12, not \"%1\".")
                                       .arg(a.value(QStringLiteral("start-month")))};
    }
    Connection c;
    connectAs(a, c);
    AccountClasses classes(c);
    {
        Transaction tx(c);
        for (const auto& [code, cls] : sets)
            classes.set(code, cls);
        if (month)
            classes.setStartMonth(month);
        tx.commit();
    }
    QTextStream out(stdout);
    int open = 0;
    for (const ControlHead& h : classes.heads()) {
        out << h.nodes << "  " << h.name << ": "
            << (h.cls.isNull() ? QStringLiteral("(not classified)") : AccountClasses::name(h.cls)) << "\n";
        open += h.cls.isNull() ? 1 : 0;
    }
    out << "The financial year starts in " << QLocale::c().standaloneMonthName(classes.startMonth()) << ".\n";
    if (open)
        out << open << (open == 1 ? " control account has" : " control accounts have")
            << " no class yet: the balance sheet and the profit and loss account need every one.\n";
    return 0;
}

} // namespace qv
