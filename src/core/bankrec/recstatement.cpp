#include "bankrec/recstatement.h"

#include "reports/worktables_p.h"

#include <QSqlQuery>

namespace qv {

namespace {
QString shown(const QDate& d)
{
    return d.toString(QStringLiteral("dd-MM-yyyy"));
}

const QString Columns =
    QStringLiteral("LineNo INTEGER, Section INTEGER, Heading VARCHAR(80), Particulars VARCHAR(200), VouDate DATE, "
                   "Voucher VARCHAR(40), Party VARCHAR(120), ChecqNo VARCHAR(40), ClearDate DATE, Item AMOUNT, "
                   "Total AMOUNT, AcName VARCHAR(120), AsAt VARCHAR(40)");
} // namespace

RecStatement reconciliationStatement(Reconciliation& rec, Connection& c, qint64 account, const QDate& date)
{
    RecStatement s;
    s.account = account;
    s.date = date;
    s.book = rec.bookBalance(account, date);
    for (BankLine& l : rec.bookLines(account, date)) {
        const bool cleared = l.state == BankLine::State::Cleared && l.clearDate <= date;
        if (l.state == BankLine::State::Cleared && l.clearDate < l.date)
            s.earlyLines.push_back(l);
        if (cleared)
            continue;
        if (l.receipt != Money()) {
            s.uncredited += l.receipt;
            s.uncreditedLines.push_back(l);
        }
        if (l.payment != Money()) {
            s.unpresented += l.payment;
            s.unpresentedLines.push_back(l);
        }
    }
    s.bank = s.book - s.uncredited + s.unpresented;
    QSqlQuery q =
        c.query(QStringLiteral("select StmtBal from BankRecon where AcCode = ? and StmtDate = ?"), {account, date});
    if (q.next())
        s.finished = c.moneyOrZero(q.value(0));
    return s;
}

void fillBankRec(Connection& c, const QStringList& templateFolders, qint64 account, const QDate& date)
{
    Reconciliation rec(c, templateFolders);
    const RecStatement s = reconciliationStatement(rec, c, account, date);
    const QString name =
        c.scalar(QStringLiteral("SELECT AcName FROM Accounts WHERE RowID = CAST(? AS BIGINT)"), {account}).toString();
    rpt::prepareWorkTable(c, QStringLiteral("tmpBankRec"), Columns);
    rpt::Inserter ins(c, QStringLiteral("tmpBankRec"),
                      {QStringLiteral("LineNo"), QStringLiteral("Section"), QStringLiteral("Heading"),
                       QStringLiteral("Particulars"), QStringLiteral("VouDate"), QStringLiteral("Voucher"),
                       QStringLiteral("Party"), QStringLiteral("ChecqNo"), QStringLiteral("ClearDate"),
                       QStringLiteral("Item"), QStringLiteral("Total"), QStringLiteral("AcName"),
                       QStringLiteral("AsAt")});
    const QVariant noDate(QMetaType::fromType<QDate>()), none(QMetaType::fromType<qint64>());
    const QString asAt = QStringLiteral("As at ") + shown(date);
    int n = 0;
    auto figure = [&](int section, const QString& text, const QVariant& total) {
        ins.insert(
            {++n, section, QString(), text, noDate, QString(), QString(), QString(), noDate, none, total, name, asAt});
    };
    auto listed = [&](int section, const QString& heading, const std::vector<BankLine>& lines) {
        for (const BankLine& l : lines)
            ins.insert({++n, section, heading, QString(), l.date, l.voucher(), l.party, l.cheque,
                        l.clearDate.isValid() ? QVariant(l.clearDate) : noDate,
                        QVariant::fromValue(l.receipt != Money() ? l.receipt : l.payment), none, name, asAt});
    };
    figure(1, QStringLiteral("Balance as per book"), QVariant::fromValue(s.book));
    listed(2, QStringLiteral("Less: receipts not yet credited by the bank"), s.uncreditedLines);
    figure(3, QStringLiteral("Total receipts not yet credited"), QVariant::fromValue(Money() - s.uncredited));
    listed(4, QStringLiteral("Add: cheques issued but not yet presented"), s.unpresentedLines);
    figure(5, QStringLiteral("Total cheques not yet presented"), QVariant::fromValue(s.unpresented));
    figure(6, QStringLiteral("Balance as per bank statement"), QVariant::fromValue(s.bank));
    figure(7,
           s.finished ? QStringLiteral("Statement balance of the reconciliation finished as at %1").arg(shown(date))
                      : QStringLiteral("No reconciliation of this account is finished as at %1").arg(shown(date)),
           s.finished ? QVariant::fromValue(*s.finished) : none);
    listed(8, QStringLiteral("Lines cleared before their voucher date"), s.earlyLines);
    ins.finish();
}

QString bankRecStatement(qint64 account, const QDate& date)
{
    return QStringLiteral("exec BankRecStatement %1,'%2'")
        .arg(account)
        .arg(date.toString(QStringLiteral("yyyy-MM-dd")));
}

rpt::ReportRequest bankRecRequest(qint64 account, const QDate& date, const QStringList& templateFolders)
{
    rpt::ReportRequest q;
    q.templ = QStringLiteral("\\rptBankRec.rpt");
    q.preparation = rpt::Preparation{bankRecStatement(account, date), [=](Connection& c) {
                                         Transaction tx(c);
                                         fillBankRec(c, templateFolders, account, date);
                                         tx.commit();
                                     }};
    q.selection = {rpt::equal(QStringLiteral("Company.comActive"), QStringLiteral("Y"))};
    return q;
}

} // namespace qv
