#include "shell/autobackup.h"

#include "db/dailybackup.h"
#include "shell/mdl_connection.h"
#include "widgets/msgbox.h"

#include <QSettings>

void StartDailyBackup()
{
    const int keep = QSettings().value(QStringLiteral("Backups/Keep"), qv::dailybackup::DefaultKeep).toInt();
    qv::dailybackup::start(Conn, keep, [](const QString& description) {
        qv::Msg::show(QStringLiteral("Today's automatic backup of the book could not be made:\n%1").arg(description),
                      QString(), qv::Msg::Icon::Warning, QMessageBox::Ok);
    });
}
