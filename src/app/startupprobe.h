#pragma once
// QUORAVEL_STARTUP_PROBE=1 (bench/startup.sh): when the login window has been painted for the
// first time, print the wall clock in nanoseconds and the peak memory, then quit. The script
// takes the time the program was started from its own clock.
#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QWidget>
#include <cstdio>
#include <sys/resource.h>

namespace qv {

class StartupProbe : public QObject {
public:
    static void watch(QWidget* w)
    {
        if (qEnvironmentVariableIsEmpty("QUORAVEL_STARTUP_PROBE"))
            return;
        w->installEventFilter(new StartupProbe(w));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // After the paint has reached the screen.
            QMetaObject::invokeMethod(
                this,
                [] {
                    rusage u{};
                    getrusage(RUSAGE_SELF, &u);
                    std::printf("shown_ns=%lld peak_kb=%ld\n",
                                (long long)QDateTime::currentMSecsSinceEpoch() * 1000000LL, u.ru_maxrss);
                    std::fflush(stdout);
                    QCoreApplication::exit(0);
                },
                Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, e);
    }

private:
    using QObject::QObject;
    bool m_seen = false;
};

} // namespace qv
