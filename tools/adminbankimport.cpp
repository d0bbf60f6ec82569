#include "tools/adminbankimport.h"

#include "bankrec/bankimport.h"
#include "db/connection.h"
#include "tools/admincommands.h"

#include <QFile>
#include <QTextStream>

namespace qv {

namespace {
QString shown(const QDate& d)
{
    return d.toString(QStringLiteral("dd-MM-yyyy"));
}

QString side(const StatementLine& s)
{
    return s.credit != Money() ? displayAmount(s.credit) + QStringLiteral(" Cr") : displayAmount(s.debit) + " Dr";
}
} // namespace

int adminBankImport(const AdminArgs& a)
{
    a.require({QStringLiteral("account"), QStringLiteral("csv")});
    StatementColumns cols;
    for (auto [option, target] : {std::pair{"date-column", &cols.date},
                                  {"description-column", &cols.description},
                                  {"cheque-column", &cols.cheque},
                                  {"debit-column", &cols.debit},
                                  {"credit-column", &cols.credit},
                                  {"balance-column", &cols.balance}})
        if (a.has(QLatin1String(option)))
            *target = a.value(QLatin1String(option));
    int days = 3;
    if (a.has(QStringLiteral("days"))) {
        bool ok = false;
        days = a.value(QStringLiteral("days")).toInt(&ok);
        if (!ok || days < 0 || days > 366)
            throw AdminArgs::Error{QStringLiteral("--days takes a whole number of days from 0 to 366.")};
    }
    QDate statementDate;
    if (a.has(QStringLiteral("statement-date"))) {
        const QString t = a.value(QStringLiteral("statement-date"));
        statementDate = QDate::fromString(t, Qt::ISODate);
        if (!statementDate.isValid())
            statementDate = QDate::fromString(t, QStringLiteral("dd-MM-yyyy"));
        if (!statementDate.isValid())
            throw AdminArgs::Error{QStringLiteral("\"%1\" is not a date (dd-mm-yyyy or yyyy-mm-dd).").arg(t)};
    }
    QFile f(a.value(QStringLiteral("csv")));
    if (!f.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("The statement %1 cannot be read: %2").arg(f.fileName(), f.errorString()));
    const std::vector<StatementLine> statement = readStatementCsv(f.readAll(), cols);
    if (!statementDate.isValid())
        for (const StatementLine& s : statement)
            statementDate = std::max(statementDate, s.date);

    Connection c;
    connectAs(a, c);
    const QString code = a.value(QStringLiteral("account"));
    const QVariant id =
        c.scalar(QStringLiteral("select RowID from Accounts where AcNodes = ? and AcStatus = 'DD'"), {code});
    if (id.isNull())
        throw DbError(QStringLiteral("There is no subsidiary account %1.").arg(code));
    const qint64 account = id.toLongLong();
    Reconciliation rec(c, {});
    const std::vector<BankLine> lines = rec.lines(account, statementDate);
    const Matching m = matchStatement(statement, lines, days);

    QTextStream out(stdout);
    int byCheque = 0;
    for (const MatchProposal& p : m.proposals)
        byCheque += p.how == MatchProposal::How::Cheque;
    out << "Statement: " << statement.size() << " lines up to " << shown(statementDate) << "\n";
    out << "Proposed matches: " << m.proposals.size() << " (" << byCheque << " by cheque number and amount, "
        << m.proposals.size() - size_t(byCheque) << " by amount and a date within " << days << " days)\n";
    for (const MatchProposal& p : m.proposals) {
        const StatementLine& s = statement[size_t(p.statementIndex)];
        const BankLine& l = lines[p.lineIndex];
        out << "  line " << s.lineNo << "  " << shown(s.date) << "  " << s.cheque << "  " << side(s) << "  ->  "
            << l.voucher() << "  " << shown(l.date) << "  " << l.party << "\n";
    }
    out << "Not in the book (to be entered): " << m.unmatched.size() << "\n";
    for (int i : m.unmatched) {
        const StatementLine& s = statement[size_t(i)];
        out << "  line " << s.lineNo << "  " << shown(s.date) << "  " << s.cheque << "  " << side(s) << "  "
            << s.description << "\n";
    }
    if (!a.flag(QStringLiteral("confirm"))) {
        out << "Nothing was ticked: run again with --confirm to tick the proposed lines.\n";
        return 0;
    }
    QHash<qint64, QDate> ticks = proposedTicks(m, statement, lines);
    for (const BankLine& l : lines)
        if (l.state == BankLine::State::Ticked && !ticks.contains(l.rowId))
            ticks.insert(l.rowId, l.clearDate);
    rec.postpone(account, statementDate, ticks, a.value(QStringLiteral("user")));
    out << "Ticked " << m.proposals.size() << " lines as cleared; finish the reconciliation as at "
        << shown(statementDate) << " in the program's Bank Reconciliation window.\n";
    return 0;
}

} // namespace qv
