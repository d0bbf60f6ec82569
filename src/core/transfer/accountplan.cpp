#include "transfer/accountplan_p.h"

#include "masters/accountclasses.h"
#include "masters/accountcodes.h"
#include "reports/journalexport.h"
#include "transfer/importread_p.h"

#include <QRegularExpression>
#include <QSqlQuery>

namespace qv::imp::detail {

using accounts::ancestorCodes;

namespace {
const QStringList Levels{accounts::Control, accounts::SubControl, accounts::Subsidiary};

bool sameTitle(const QString& a, const QString& b)
{
    return rpt::journalNamePart(a).compare(rpt::journalNamePart(b), Qt::CaseInsensitive) == 0;
}

// "1 Assets:1.2 Banks:1.2.3 Current": the codes and titles of the export's names; empty when the
// name is not of that form.
QList<QPair<QString, QString>> codedParts(const QString& name)
{
    static const QRegularExpression part(QStringLiteral("^([1-9]\\d*(?:\\.[1-9]\\d*)*) (.+)$"));
    QList<QPair<QString, QString>> parts;
    const QStringList comps = name.split(QLatin1Char(':'));
    if (comps.size() > 3)
        return {};
    for (const QString& c : comps) {
        const auto m = part.match(c);
        if (!m.hasMatch() || m.captured(1).count(QLatin1Char('.')) != parts.size()
            || (!parts.isEmpty() && !m.captured(1).startsWith(parts.back().first + QLatin1Char('.'))))
            return {};
        parts.append({m.captured(1), m.captured(2)});
    }
    return parts;
}
} // namespace

bool CodeOrder::operator()(const QString& a, const QString& b) const
{
    return accounts::codeLess(a, b);
}

AccountPlanner::AccountPlanner(Connection& c)
    : m_c(c)
{
    QSqlQuery q = c.query(QStringLiteral("select AcNodes, RowID, AcName, AcStatus, OpenBal, BStatus from Accounts"));
    while (q.next())
        m_book.insert(q.value(0).toString().trimmed(),
                      BookAccount{q.value(1).toLongLong(), q.value(2).toString(), q.value(3).toString().trimmed(),
                                  c.moneyOrZero(q.value(4)), q.value(5).toString().trimmed() == QLatin1String("B")});
    m_bookClasses = AccountClasses(c).byCode();
}

QString AccountPlanner::codeProblem(const QString& code)
{
    static const QRegularExpression form(QStringLiteral("^[1-9]\\d{0,17}(\\.[1-9]\\d{0,4})*$"));
    if (!form.match(code).hasMatch())
        return QStringLiteral("\"%1\" is not an account code: numbers without leading zeros joined by points, as 3, "
                              "3.2 or 3.2.10.")
            .arg(code);
    if (code.count(QLatin1Char('.')) > 2)
        return QStringLiteral("The code %1 has a fourth level: the chart has three (control, sub-control, "
                              "subsidiary).")
            .arg(code);
    if (code.contains(QLatin1Char('.')) && code.section(QLatin1Char('.'), -1).toInt() > accounts::MaxDcode)
        return QStringLiteral("The code %1 is past %2, the last number under one head.")
            .arg(code)
            .arg(accounts::MaxDcode);
    return {};
}

const PlannedAccount* AccountPlanner::planned(const QString& code) const
{
    const auto it = m_plan.find(code);
    return it == m_plan.end() ? nullptr : &it->second;
}

void AccountPlanner::touch(const QString& code)
{
    if (const auto b = m_book.constFind(code); b != m_book.cend() && !planned(code))
        m_plan[code] = PlannedAccount{code, b->title, b->status, true, b->bank, {}, {}};
}

void AccountPlanner::ensure(const QString& code, const QString& title, int line)
{
    if (const QString why = codeProblem(code); !why.isEmpty())
        throw ImportError(line, 0, why);
    if (title.trimmed().isEmpty())
        throw ImportError(line, 0, QStringLiteral("The account %1 has no title.").arg(code));
    const QString status = Levels[code.count(QLatin1Char('.'))];
    for (const QString& head : ancestorCodes(code))
        if (!m_book.contains(head) && !planned(head)) {
            const bool control = !head.contains(QLatin1Char('.'));
            m_plan[head] =
                PlannedAccount{head,
                               (control ? QStringLiteral("Control ") : QStringLiteral("Sub-control ")) + head,
                               control ? accounts::Control : accounts::SubControl,
                               false,
                               false,
                               {},
                               {}};
            m_autoTitled.insert(head);
        }
    if (const auto b = m_book.constFind(code); b != m_book.cend()) {
        if (b->status != status || !sameTitle(b->title, title))
            throw ImportError(line, 0,
                              QStringLiteral("The account %1 is \"%2\" in the book; the file names it \"%3\".")
                                  .arg(code, b->title, title));
        if (!planned(code))
            m_plan[code] = PlannedAccount{code, b->title, status, true, b->bank, {}, {}};
        return;
    }
    if (const PlannedAccount* p = planned(code)) {
        if (m_autoTitled.remove(code))
            m_plan[code].title = title.trimmed();
        else if (!sameTitle(p->title, title))
            throw ImportError(
                line, 0,
                QStringLiteral("The account %1 is named \"%2\" and \"%3\" in the file.").arg(code, p->title, title));
        return;
    }
    m_plan[code] = PlannedAccount{code, title.trimmed(), status, false, false, {}, {}};
}

bool AccountPlanner::isSubsidiary(const QString& code) const
{
    if (const PlannedAccount* p = planned(code))
        return p->status == accounts::Subsidiary;
    return m_book.value(code).status == accounts::Subsidiary;
}

QString AccountPlanner::titleOf(const QString& code) const
{
    if (const PlannedAccount* p = planned(code))
        return p->title;
    return m_book.value(code).title;
}

QString AccountPlanner::journalForm(const QString& code) const
{
    QStringList parts, codes = ancestorCodes(code);
    codes << code;
    for (const QString& c : std::as_const(codes))
        parts << rpt::journalNamePart(c + QLatin1Char(' ') + titleOf(c));
    return parts.join(QLatin1Char(':'));
}

void AccountPlanner::opening(const QString& code, Money amount, const QDate& date, bool bank, int line)
{
    if (!isSubsidiary(code))
        throw ImportError(
            line, 0, QStringLiteral("%1 is not a subsidiary account: only those hold an opening balance.").arg(code));
    if (!m_openingLine.contains(code))
        m_openingLine.insert(code, line);
    touch(code);
    PlannedAccount& p = m_plan[code];
    p.opening = Money(p.opening.value_or(Money()).cents + amount.cents);
    if (date.isValid())
        p.openDate = date;
    p.bank = p.bank || bank;
}

void AccountPlanner::classify(const QString& code, QChar cls, int line)
{
    if (code.contains(QLatin1Char('.')))
        return; // the export types control accounts only
    const QChar had = m_bookClasses.value(code);
    if (!had.isNull() && had != cls)
        throw ImportError(line, 0,
                          QStringLiteral("The control account %1 is of class %2 in the book; the file gives %3.")
                              .arg(code, AccountClasses::name(had), AccountClasses::name(cls)));
    if (had.isNull())
        m_classes.insert(code, cls);
}

QString AccountPlanner::child(const QString& parent, const QString& title, const QString& status, int line)
{
    int highest = 0;
    auto consider = [&](const QString& code, const QString& t, const QString& s) -> bool {
        if (parent.isEmpty() ? code.contains(QLatin1Char('.')) : code.section(QLatin1Char('.'), 0, -2) != parent)
            return false;
        highest = std::max(highest, code.section(QLatin1Char('.'), -1).toInt());
        return s == status && sameTitle(t, title);
    };
    for (auto it = m_book.cbegin(); it != m_book.cend(); ++it)
        if (consider(it.key(), it->title, it->status))
            return it.key();
    for (const auto& [code, p] : m_plan)
        if (!p.exists && consider(code, p.title, p.status))
            return code;
    const QString code = parent.isEmpty() ? QString::number(highest + 1) : accounts::childCode(parent, highest + 1);
    ensure(code, title, line);
    return code;
}

QString AccountPlanner::place(const QStringList& names, int line)
{
    QStringList s;
    for (const QString& n : names)
        s << rpt::journalNamePart(n);
    while (s.size() < 3)
        s << s.back();
    if (s.size() > 3)
        s = QStringList{s[0], s[1], s.mid(2).join(QLatin1Char('-'))};
    const QString control = child({}, s[0], accounts::Control, line);
    return child(child(control, s[1], accounts::SubControl, line), s[2], accounts::Subsidiary, line);
}

QString AccountPlanner::placeName(const QString& name, int line)
{
    if (const auto it = m_byName.constFind(name); it != m_byName.cend())
        return *it;
    QString code;
    const Target t = m_mapping.value(name, Target{{}, {name}});
    if (!t.code.isEmpty()) {
        code = t.code;
    } else if (const auto parts = codedParts(t.segments.join(QLatin1Char(':'))); !parts.isEmpty()) {
        for (const auto& [c, title] : parts)
            ensure(c, title, line);
        code = parts.back().first;
    } else {
        code = place(t.segments, line);
    }
    if (!isSubsidiary(code))
        throw ImportError(line, 0,
                          QStringLiteral("\"%1\" is a head (%2), not a subsidiary account: postings go to "
                                         "subsidiary accounts.")
                              .arg(name, code));
    touch(code);
    m_byName.insert(name, code);
    m_names.append({name, code});
    return code;
}

void AccountPlanner::declare(const QString& name, int line)
{
    // Declared heads of the export keep their codes; other declared names wait for a posting.
    const auto parts = codedParts(name);
    for (const auto& [c, title] : parts)
        ensure(c, title, line);
}

void AccountPlanner::readMapping(const QString& file)
{
    TextLines in(file);
    QString line;
    static const QRegularExpression code(QStringLiteral("^[1-9]\\d*(\\.[1-9]\\d*){2}$"));
    while (in.next(&line)) {
        const QString t = line.trimmed();
        if (t.isEmpty() || t.startsWith(QLatin1Char('#')) || t.startsWith(QLatin1Char(';')))
            continue;
        const qsizetype eq = t.indexOf(QStringLiteral(" = "));
        if (eq <= 0)
            throw ImportError(
                in.number(), 0,
                QStringLiteral("The mapping file's lines read NAME = TARGET (a code or an account name)."));
        const QString name = t.left(eq).trimmed(), target = t.mid(eq + 3).trimmed();
        if (code.match(target).hasMatch()) {
            if (!m_book.contains(target) || m_book.value(target).status != accounts::Subsidiary)
                throw ImportError(in.number(), int(eq) + 4,
                                  QStringLiteral("The mapping file names %1, which is no subsidiary account of the "
                                                 "book.")
                                      .arg(target));
            m_mapping.insert(name, Target{target, {}});
        } else {
            m_mapping.insert(name, Target{{}, target.split(QLatin1Char(':'))});
        }
    }
}

ImportPlan AccountPlanner::finish()
{
    ImportPlan plan;
    for (auto& [code, p] : m_plan) {
        if (p.exists && p.opening) {
            if (*p.opening != m_book.value(code).openBal)
                throw ImportError(
                    m_openingLine.value(code), 0,
                    QStringLiteral("The account %1 %2 has the opening %3 in the book; the file gives %4.")
                        .arg(code, p.title, plainAmount(m_book.value(code).openBal), plainAmount(*p.opening)));
            p.opening.reset();
        }
        plan.accounts.push_back(p);
    }
    plan.classes = m_classes;
    for (const auto& [name, code] : std::as_const(m_names))
        plan.mapping.append({name, journalForm(code)});
    return plan;
}

} // namespace qv::imp::detail
