#include "longreport.h"

#include <QFile>

namespace qvb {

namespace {
const char* Template = R"(title "VOUCHER LINES"
page A4 portrait
from DetJV d
    join Accounts a on a.RowID = d.AcCode
field {DetJV.RowID}     number d.RowID
field {DetJV.VouStatus} text   d.VouStatus
field {DetJV.VouNo}     number d.VouNo
field {DetJV.VouDate}   date   d.VouDate
field {DetJV.DrAmt}     amount d.DrAmt
field {DetJV.CrAmt}     amount d.CrAmt
field {DetJV.Naration}  text   d.Naration
field {Accounts.AcName} text   a.AcName
group {DetJV.VouStatus}
group {Accounts.AcName}
order {DetJV.VouDate}
order {DetJV.RowID}
band page-header 12
    text 0 0 186 7 center bold size=13 {Company.Company}
    line 0 10 186 10
end
band column-header 6
    text 0 0 22 5 bold "Date"
    text 22 0 20 5 bold right "No."
    text 46 0 68 5 bold "Narration"
    text 114 0 36 5 bold right "Debit"
    text 150 0 36 5 bold right "Credit"
end
band group-header 1 7
    text 0 1 120 5 bold size=10 "Kind " {DetJV.VouStatus}
end
band group-header 2 6
    text 4 0.5 120 5 bold {Accounts.AcName}
end
band detail 4.5
    text 0 0 22 4.5 {DetJV.VouDate}
    text 22 0 20 4.5 {DetJV.VouNo}
    text 46 0 68 4.5 {DetJV.Naration}
    text 114 0 36 4.5 blank-zero {DetJV.DrAmt}
    text 150 0 36 4.5 blank-zero {DetJV.CrAmt}
end
band group-footer 2 6
    text 46 0.5 68 5 bold "Total of " {Accounts.AcName}
    text 114 0.5 36 5 bold sum({DetJV.DrAmt})
    text 150 0.5 36 5 bold sum({DetJV.CrAmt})
end
band group-footer 1 7
    text 46 1 68 5 bold "Total of kind " {DetJV.VouStatus} ", lines: " count()
    text 114 1 36 5 bold sum({DetJV.DrAmt})
    text 150 1 36 5 bold sum({DetJV.CrAmt})
end
band report-footer 8
    text 46 1 68 5 bold "Grand total"
    text 114 1 36 5 bold sum({DetJV.DrAmt})
    text 150 1 36 5 bold sum({DetJV.CrAmt})
end
band page-footer 8
    text 0 2 186 5 size=8 right "Page " {PageNumber} " of " {TotalPages}
end
)";
} // namespace

std::shared_ptr<qv::rpt::Report> openLongReport(const QString& dir, const qv::Book& book)
{
    const QString path = dir + QStringLiteral("/rptLongBench.rpt");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(Template) < 0)
        return nullptr;
    f.close();
    qv::rpt::Application app;
    auto report = app.OpenReport(path);
    report->Database().Tables(1).ConnectionProperties(QStringLiteral("User ID")).setValue(book.user);
    report->Database().Tables(1).ConnectionProperties(QStringLiteral("Password")).setValue(book.password);
    return report;
}

} // namespace qvb
