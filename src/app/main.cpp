// Start-up: the shared objects exist from the start (closed); record the screen; show the login.
#include "startupprobe.h"
#include "reports/procedures.h"
#include "shell/frmlogin.h"
#include "shell/homepicture.h"
#include "shell/mdl_connection.h"
#include "shell/x11display.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quoravel"));
    QApplication::setApplicationName(QStringLiteral("Quoravel"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(qv::programIcon());
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        ScreenWidth = s->geometry().width();
        ScreenHeight = s->geometry().height();
    }
    qv::setDisplaySwitch(qv::makePlatformDisplaySwitch());
    qv::rpt::installProcedures(Conn); // `exec AcLedger ...` on Conn runs our own implementation
    auto* login = new frmLogin();
    qv::StartupProbe::watch(login);
    login->show();
    const int rc = QApplication::exec();
    Conn.close();
    qv::setDisplaySwitch(nullptr);
    return rc;
}
