#include "registrations/registrationui.h"

#include "widgets/guarded.h"
#include "widgets/msgbox.h"
#include "widgets/named.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace qv::registrations {

QHBoxLayout* commandRow(QWidget* tab, QPushButton*& save, QPushButton*& del, QPushButton*& cancel, QPushButton*& print,
                        QPushButton*& exit)
{
    save = named<QPushButton>(tab, "cmdSave", QStringLiteral("&Save"));
    del = named<QPushButton>(tab, "cmdDelete", QStringLiteral("&DELETE"));
    cancel = named<QPushButton>(tab, "cmdCancel", QStringLiteral("&CANCEL"));
    print = named<QPushButton>(tab, "cmdPrint", QStringLiteral("&PRINT"));
    exit = named<QPushButton>(tab, "cmdExit", QStringLiteral("E&XIT"));
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton* b : {save, del, cancel, print, exit})
        row->addWidget(b);
    return row;
}

bool confirmAndDelete(const QString& key, const std::function<bool()>& remove, const QString& noSuch)
{
    if (key.isEmpty())
        return false;
    if (!Msg::askYesNo(QStringLiteral("Are you sure delete this information"), QStringLiteral("Confirm"),
                       Msg::Icon::Information))
        return false;
    bool deleted = false;
    if (!guarded([&] { deleted = remove(); }))
        return false;
    if (!deleted)
        Msg::info(noSuch);
    return deleted;
}

} // namespace qv::registrations
