#pragma once

// Small helpers shared by the tests.

#include <QEventLoop>
#include <QString>
#include <QTimer>

#include <string_view>

#include <sys/resource.h>

// A text of the window's tables as a QString.
inline QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// CPU time this process has used so far, user and system, in seconds.
inline double cpuSeconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds
        = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs the event loop for a window of time measured (CPU, memory, silence)
// without the 10 ms polling of QTest::qWait, so that CPU measured over it is
// the program's own. Never a wait for something to happen: that is QTRY_*.
inline void idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}
