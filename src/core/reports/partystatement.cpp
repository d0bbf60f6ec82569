#include "reports/partystatement.h"

#include "reports/openings.h"
#include "reports/worktables_p.h"

#include <QSqlQuery>

namespace qv::rpt {

namespace {

// Above this many parties the openings are read for every account at once.
constexpr int OneByOne = 16;

const QString Moves = QStringLiteral(
    "SELECT d.VouDate, d.VouStatus, d.VouNo, COALESCE(o.AcName, m.PaidReceive), d.Naration, d.ChecqNo, d.FileNo, "
    "d.BillNo, d.DrAmt, d.CrAmt FROM DetJV d LEFT JOIN Accounts o ON o.RowID = d.CrAc "
    "LEFT JOIN MasJV m ON m.VouStatus = d.VouStatus AND m.VouNo = d.VouNo "
    "WHERE d.AcCode = ? AND d.VouDate >= ? AND d.VouDate <= ? "
    "ORDER BY d.VouDate, d.VouStatus, d.VouNo, d.EntryNo, d.RowID");

QString day(const QDate& d)
{
    return d.toString(QStringLiteral("dd-MM-yyyy"));
}

} // namespace

QList<PartyStatement> partyStatements(Connection& c, qint64 account, const QDate& from, const QDate& to)
{
    PartyHead head;
    const QList<Party> parties = partiesOf(c, account, &head);
    const bool single = head.status == QLatin1String("DD");
    OpeningBalances open(c);
    QMap<qint64, Money> openings;
    if (parties.size() > OneByOne)
        openings = open.all(from);
    QSqlQuery q(c.database());
    q.setForwardOnly(true);
    if (!q.prepare(Moves))
        c.raise(q.lastError(), Moves);
    QList<PartyStatement> out;
    for (const Party& p : parties) {
        PartyStatement s;
        s.party = p;
        s.opening = parties.size() > OneByOne ? openings.value(p.id) : open.of(p.id, from);
        q.bindValue(0, p.id);
        q.bindValue(1, c.toStorage(from));
        q.bindValue(2, c.toStorage(to));
        if (!q.exec())
            c.raise(q.lastError(), Moves);
        Money balance = s.opening;
        while (q.next()) {
            StatementMove mv;
            mv.date = q.value(0).toDate();
            mv.voucher = q.value(1).toString().trimmed() + QLatin1Char('-') + q.value(2).toString();
            mv.particulars = q.value(3).toString();
            mv.narration = q.value(4).toString();
            mv.cheque = q.value(5).toString();
            mv.fileNo = q.value(6).toString();
            mv.billNo = q.value(7).toString();
            mv.dr = c.moneyOrZero(q.value(8));
            mv.cr = c.moneyOrZero(q.value(9));
            balance = balance + mv.dr - mv.cr;
            mv.balance = balance;
            s.moves.append(mv);
        }
        if (q.lastError().isValid())
            c.raise(q.lastError(), Moves);
        s.closing = balance;
        if (!single && s.opening.cents == 0 && s.moves.isEmpty())
            continue;
        s.applicant = applicantOf(c, p.id);
        out.append(s);
    }
    return out;
}

void fillPartyStatement(Connection& c, qint64 account, const QDate& from, const QDate& to)
{
    const QString table = QStringLiteral("tmpPartyStatement");
    prepareWorkTable(c, table,
                     QStringLiteral("Seq INTEGER, LineNo INTEGER, AcCode BIGINT, AcNodes VARCHAR(60), AcName "
                                    "VARCHAR(200), Period VARCHAR(80), Applicant VARCHAR(400), Address VARCHAR(400), "
                                    "VouDate DATE, Voucher VARCHAR(30), Particulars VARCHAR(300), Naration "
                                    "VARCHAR(500), ChecqNo VARCHAR(60), FileNo VARCHAR(60), BillNo VARCHAR(60), "
                                    "DrAmt AMOUNT, CrAmt AMOUNT, Balance AMOUNT, BalAmt AMOUNT, BalSide VARCHAR(2)"));
    Inserter ins(c, table, {QStringLiteral("Seq"),       QStringLiteral("LineNo"),      QStringLiteral("AcCode"),
                            QStringLiteral("AcNodes"),   QStringLiteral("AcName"),      QStringLiteral("Period"),
                            QStringLiteral("Applicant"), QStringLiteral("Address"),     QStringLiteral("VouDate"),
                            QStringLiteral("Voucher"),   QStringLiteral("Particulars"), QStringLiteral("Naration"),
                            QStringLiteral("ChecqNo"),   QStringLiteral("FileNo"),      QStringLiteral("BillNo"),
                            QStringLiteral("DrAmt"),     QStringLiteral("CrAmt"),       QStringLiteral("Balance"),
                            QStringLiteral("BalAmt"),    QStringLiteral("BalSide")});
    const QString period = QStringLiteral("From %1 to %2").arg(day(from), day(to));
    const QVariant noDate(QMetaType::fromType<QDate>());
    auto money = [](Money m) { return QVariant::fromValue(m); };
    auto abs = [](Money m) { return QVariant::fromValue(m.cents < 0 ? Money(-m.cents) : m); };
    auto side = [](Money m) { return m.cents < 0 ? QStringLiteral("Cr") : QStringLiteral("Dr"); };
    int seq = 0;
    for (const PartyStatement& s : partyStatements(c, account, from, to)) {
        ++seq;
        int line = 0;
        // The applicant's lines print only on a customer's statement.
        const Applicant& a = s.applicant;
        const QString applicant =
            a.found ? QStringLiteral("Applicant: %1     Registration No: %2     NIC: %3").arg(a.name, a.regNo, a.nic)
                    : QString();
        const QString address = a.found ? QStringLiteral("Address: ") + a.address : QString();
        const QVariantList party{seq, 0, s.party.id, s.party.nodes, s.party.name, period, applicant, address};
        ins.insert(party
                   + QVariantList{noDate, QString(), QStringLiteral("Opening Balance"), QString(), QString(), QString(),
                                  QString(), money(Money()), money(Money()), money(s.opening), abs(s.opening),
                                  side(s.opening)});
        for (const StatementMove& m : s.moves) {
            QVariantList row = party;
            row[1] = ++line;
            ins.insert(row
                       + QVariantList{m.date, m.voucher, m.particulars, m.narration, m.cheque, m.fileNo, m.billNo,
                                      money(m.dr), money(m.cr), money(m.balance), abs(m.balance), side(m.balance)});
        }
    }
    ins.finish();
}

} // namespace qv::rpt
