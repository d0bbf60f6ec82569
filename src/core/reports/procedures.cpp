#include "reports/procedures.h"

#include "bankrec/recstatement.h"
#include "reports/ageing.h"
#include "reports/partystatement.h"
#include "reports/statements.h"
#include "reports/worktables.h"

#include <QRegularExpression>
#include <QSqlQuery>

namespace qv::rpt {

namespace {

[[noreturn]] void refuse(const QString& statement, const QString& why)
{
    throw DbError(QStringLiteral("The statement \"%1\" is refused: %2").arg(statement.trimmed().left(120), why));
}

struct ProcInfo {
    Procedure proc;
    const char* name;
    const char* form;
    int least, most; // arguments
};
constexpr ProcInfo Procs[] = {
    {Procedure::AcLedger, "AcLedger", "exec AcLedger ACCOUNT,'yyyy-mm-dd','yyyy-mm-dd'", 3, 3},
    {Procedure::DetailAcLedger, "DetailAcLedger", "exec DetailAcLedger ACCOUNT,D,M,YYYY,D,M,YYYY", 7, 7},
    {Procedure::TrialBalance, "TrialBalance", "exec TrialBalance 'yyyy-mm-dd','yyyy-mm-dd'", 2, 2},
    {Procedure::TrialBalance3, "TrialBalance3", "exec TrialBalance3 'yyyy-mm-dd','yyyy-mm-dd'", 2, 2},
    {Procedure::BalanceSheet, "BalanceSheet", "exec BalanceSheet 'yyyy-mm-dd',LEVEL[,'yyyy-mm-dd']", 2, 3},
    {Procedure::ProfitLoss, "ProfitLoss", "exec ProfitLoss 'yyyy-mm-dd','yyyy-mm-dd',LEVEL[,0|1]", 3, 4},
    {Procedure::BankRecStatement, "BankRecStatement", "exec BankRecStatement ACCOUNT,'yyyy-mm-dd'", 2, 2},
    {Procedure::PartyStatement, "PartyStatement", "exec PartyStatement ACCOUNT,'yyyy-mm-dd','yyyy-mm-dd'", 3, 3},
    {Procedure::Ageing, "Ageing", "exec Ageing ACCOUNT,'yyyy-mm-dd'", 2, 2},
};

qint64 wholeNumber(const QString& statement, const QString& arg, int n)
{
    static const QRegularExpression re(QStringLiteral("^[0-9]{1,15}$"));
    if (!re.match(arg).hasMatch())
        refuse(statement, QStringLiteral("argument %1 (%2) is not a whole number.").arg(n).arg(arg));
    return arg.toLongLong();
}

QDate quotedDate(const QString& statement, const QString& arg, int n)
{
    static const QRegularExpression re(QStringLiteral("^'([0-9]{4}-[0-9]{2}-[0-9]{2})'$"));
    const auto m = re.match(arg);
    if (!m.hasMatch())
        refuse(statement, QStringLiteral("argument %1 (%2) is not a date written 'yyyy-mm-dd'.").arg(n).arg(arg));
    const QDate d = QDate::fromString(m.captured(1), Qt::ISODate);
    if (!d.isValid())
        refuse(statement, QStringLiteral("argument %1 (%2) is not a date of the calendar.").arg(n).arg(arg));
    return d;
}

QDate dateParts(const QString& statement, qint64 day, qint64 month, qint64 year, int n)
{
    const QDate d(int(qMin<qint64>(year, 99999)), int(qMin<qint64>(month, 99)), int(qMin<qint64>(day, 99)));
    if (year < 1 || year > 9999 || !d.isValid())
        refuse(statement, QStringLiteral("arguments %1 to %2 (%3,%4,%5) are not a date of the calendar.")
                              .arg(n)
                              .arg(n + 2)
                              .arg(day)
                              .arg(month)
                              .arg(year));
    return d;
}

int level(const QString& statement, const QString& arg, int n)
{
    if (arg != QLatin1String("1") && arg != QLatin1String("2") && arg != QLatin1String("3"))
        refuse(statement, QStringLiteral("argument %1 (%2) is not a level 1, 2 or 3.").arg(n).arg(arg));
    return arg.toInt();
}

} // namespace

ProcedureCall parseExec(const QString& statement)
{
    static const QRegularExpression head(QStringLiteral("^\\s*exec\\s+([A-Za-z0-9_]+)(?:\\s+(.*?))?\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption
                                             | QRegularExpression::DotMatchesEverythingOption);
    const auto m = head.match(statement);
    if (!m.hasMatch())
        refuse(statement, QStringLiteral("it is not written exec NAME ARGUMENTS."));
    const ProcInfo* info = nullptr;
    for (const ProcInfo& p : Procs)
        if (m.captured(1).compare(QLatin1String(p.name), Qt::CaseInsensitive) == 0)
            info = &p;
    if (!info)
        refuse(statement,
               QStringLiteral("there is no procedure \"%1\" (there are AcLedger, DetailAcLedger, TrialBalance, "
                              "TrialBalance3, BalanceSheet, ProfitLoss, PartyStatement, Ageing and BankRecStatement).")
                   .arg(m.captured(1)));
    QStringList args = m.captured(2).split(QLatin1Char(','));
    for (QString& a : args)
        a = a.trimmed();
    if (m.captured(2).trimmed().isEmpty())
        args.clear();
    if (args.size() < info->least || args.size() > info->most)
        refuse(statement,
               QStringLiteral("%1 takes %2 arguments, not %3: %4.")
                   .arg(QLatin1String(info->name))
                   .arg(info->least == info->most ? QString::number(info->least)
                                                  : QStringLiteral("%1 or %2").arg(info->least).arg(info->most))
                   .arg(args.size())
                   .arg(QLatin1String(info->form)));
    ProcedureCall call;
    call.procedure = info->proc;
    switch (info->proc) {
    case Procedure::AcLedger:
    case Procedure::PartyStatement:
        call.account = wholeNumber(statement, args[0], 1);
        call.from = quotedDate(statement, args[1], 2);
        call.to = quotedDate(statement, args[2], 3);
        break;
    case Procedure::Ageing:
        call.account = wholeNumber(statement, args[0], 1);
        call.from = call.to = quotedDate(statement, args[1], 2);
        break;
    case Procedure::DetailAcLedger: {
        qint64 v[7];
        for (int i = 0; i < 7; ++i)
            v[i] = wholeNumber(statement, args[i], i + 1);
        call.account = v[0];
        call.from = dateParts(statement, v[1], v[2], v[3], 2);
        call.to = dateParts(statement, v[4], v[5], v[6], 5);
        break;
    }
    case Procedure::TrialBalance:
    case Procedure::TrialBalance3:
        call.from = quotedDate(statement, args[0], 1);
        call.to = quotedDate(statement, args[1], 2);
        break;
    case Procedure::BalanceSheet:
        call.to = quotedDate(statement, args[0], 1);
        call.level = level(statement, args[1], 2);
        if (args.size() == 3)
            call.compareAt = quotedDate(statement, args[2], 3);
        break;
    case Procedure::ProfitLoss:
        call.from = quotedDate(statement, args[0], 1);
        call.to = quotedDate(statement, args[1], 2);
        call.level = level(statement, args[2], 3);
        if (args.size() == 4) {
            if (args[3] != QLatin1String("0") && args[3] != QLatin1String("1"))
                refuse(statement, QStringLiteral("argument 4 (%1) is not 0 or 1.").arg(args[3]));
            call.compare = args[3] == QLatin1String("1");
        }
        break;
    case Procedure::BankRecStatement:
        call.account = wholeNumber(statement, args[0], 1);
        call.to = quotedDate(statement, args[1], 2);
        break;
    }
    return call;
}

void installProcedures(Connection& c)
{
    c.setExecHandler([](Connection& on, const QString& statement) { runProcedure(on, parseExec(statement)); });
}

QString execStatement(const ProcedureCall& call)
{
    const QString iso = QStringLiteral("yyyy-MM-dd");
    switch (call.procedure) {
    case Procedure::AcLedger:
        return QStringLiteral("exec AcLedger %1,'%2','%3'")
            .arg(call.account)
            .arg(call.from.toString(iso), call.to.toString(iso));
    case Procedure::DetailAcLedger:
        return QStringLiteral("exec DetailAcLedger %1,%2,%3,%4,%5,%6,%7")
            .arg(call.account)
            .arg(call.from.day())
            .arg(call.from.month())
            .arg(call.from.year())
            .arg(call.to.day())
            .arg(call.to.month())
            .arg(call.to.year());
    case Procedure::TrialBalance:
    case Procedure::TrialBalance3:
        return QStringLiteral("exec %1 '%2','%3'")
            .arg(call.procedure == Procedure::TrialBalance ? QLatin1String("TrialBalance")
                                                           : QLatin1String("TrialBalance3"),
                 call.from.toString(iso), call.to.toString(iso));
    case Procedure::BalanceSheet:
        return balanceSheetStatement(call.to, call.level, call.compareAt);
    case Procedure::ProfitLoss:
        return profitLossStatement(call.from, call.to, call.level, call.compare);
    case Procedure::PartyStatement:
        return QStringLiteral("exec PartyStatement %1,'%2','%3'")
            .arg(call.account)
            .arg(call.from.toString(iso), call.to.toString(iso));
    case Procedure::Ageing:
        return QStringLiteral("exec Ageing %1,'%2'").arg(call.account).arg(call.to.toString(iso));
    case Procedure::BankRecStatement:
        return bankRecStatement(call.account, call.to);
    }
    return {};
}

ProcedureCall rangeCall(Procedure p, qint64 account, const QDate& from, const QDate& to)
{
    ProcedureCall call;
    call.procedure = p;
    call.account = account;
    call.from = from;
    call.to = to;
    return call;
}

Preparation preparation(const ProcedureCall& call)
{
    return {execStatement(call), [call](Connection& c) { runProcedure(c, call); }};
}

QString acLedgerStatement(qint64 account, const QDate& from, const QDate& to)
{
    return execStatement(rangeCall(Procedure::AcLedger, account, from, to));
}

QString detailAcLedgerStatement(qint64 account, const QDate& from, const QDate& to)
{
    return execStatement(rangeCall(Procedure::DetailAcLedger, account, from, to));
}

QString trialBalanceStatement(const QDate& from, const QDate& to)
{
    return execStatement(rangeCall(Procedure::TrialBalance, 0, from, to));
}

QString trialBalance3Statement(const QDate& from, const QDate& to)
{
    return execStatement(rangeCall(Procedure::TrialBalance3, 0, from, to));
}

QString balanceSheetStatement(const QDate& at, int level, const QDate& compareAt)
{
    QString s = QStringLiteral("exec BalanceSheet '%1',%2").arg(at.toString(QStringLiteral("yyyy-MM-dd"))).arg(level);
    if (compareAt.isValid())
        s += QStringLiteral(",'%1'").arg(compareAt.toString(QStringLiteral("yyyy-MM-dd")));
    return s;
}

QString profitLossStatement(const QDate& from, const QDate& to, int level, bool compare)
{
    return QStringLiteral("exec ProfitLoss '%1','%2',%3,%4")
        .arg(from.toString(QStringLiteral("yyyy-MM-dd")), to.toString(QStringLiteral("yyyy-MM-dd")))
        .arg(level)
        .arg(compare ? 1 : 0);
}

QString partyStatementStatement(qint64 account, const QDate& from, const QDate& to)
{
    return execStatement(rangeCall(Procedure::PartyStatement, account, from, to));
}

QString ageingStatement(qint64 account, const QDate& at)
{
    return execStatement(rangeCall(Procedure::Ageing, account, at, at));
}

void runProcedure(Connection& c, const ProcedureCall& call)
{
    Transaction tx(c);
    switch (call.procedure) {
    case Procedure::AcLedger:
    case Procedure::DetailAcLedger:
        fillLedger(c, call.account, call.from, call.to, call.procedure == Procedure::DetailAcLedger);
        break;
    case Procedure::TrialBalance:
        fillTrialBalance(c, call.from, call.to);
        break;
    case Procedure::TrialBalance3:
        fillTrialBalance3(c, call.from, call.to);
        break;
    case Procedure::BalanceSheet:
        fillBalanceSheet(c, call.to, call.level, call.compareAt);
        break;
    case Procedure::ProfitLoss:
        fillProfitLoss(c, call.from, call.to, call.level, call.compare);
        break;
    case Procedure::BankRecStatement:
        // Typed as a statement: the templates beside the running program.
        fillBankRec(c, {}, call.account, call.to);
        break;
    case Procedure::PartyStatement:
        fillPartyStatement(c, call.account, call.from, call.to);
        break;
    case Procedure::Ageing:
        fillAgeing(c, call.account, call.to);
        break;
    }
    tx.commit();
}

} // namespace qv::rpt
