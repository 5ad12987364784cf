// launchmapped PROGRAM [ARGUMENTS...]: starts PROGRAM and reports how long it took
// until its first top-level window was mapped on the X server in DISPLAY.
//
// The watch on the root window is in place before the program is started, and
// both ends are read from CLOCK_MONOTONIC, so the figure runs from fork() to the
// MapNotify that the server sent. The program keeps running after this exits;
// the line printed is
//
//   pid=<pid> window=0x<id> start_ns=<CLOCK_MONOTONIC> mapped_ms=<ms, 3 decimals>
//
// The bench server has no window manager, so the program's own window is the
// first non-override-redirect child of the root window to be mapped.

#include <X11/Xlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

long long monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: launchmapped PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    const char *timeoutText = std::getenv("LAUNCHMAPPED_TIMEOUT_S");
    const int timeoutMs = (timeoutText ? std::atoi(timeoutText) : 30) * 1000;

    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "launchmapped: cannot open the display\n");
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const long long start = monotonicNs();
    const pid_t child = fork();
    if (child < 0) {
        std::perror("launchmapped: fork");
        return 1;
    }
    if (child == 0) {
        close(ConnectionNumber(display));
        execvp(argv[1], argv + 1);
        std::fprintf(stderr, "launchmapped: cannot run %s\n", argv[1]);
        _exit(127);
    }

    const long long deadline = start + timeoutMs * 1'000'000LL;
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != MapNotify || event.xmap.event != root || event.xmap.override_redirect)
                continue;
            const long long mapped = monotonicNs();
            std::printf("pid=%d window=0x%lx start_ns=%lld mapped_ms=%.3f\n", int(child),
                        event.xmap.window, start, double(mapped - start) / 1e6);
            std::fflush(stdout);
            XCloseDisplay(display);
            return 0;
        }
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            std::fprintf(stderr, "launchmapped: %s ended before mapping a window\n", argv[1]);
            return 1;
        }
        const long long left = deadline - monotonicNs();
        if (left <= 0) {
            std::fprintf(stderr, "launchmapped: no window within %d ms\n", timeoutMs);
            return 1;
        }
        // Wake up now and then to notice a program that died before mapping.
        pollfd watch {ConnectionNumber(display), POLLIN, 0};
        const int wait = int(left / 1'000'000LL) < 100 ? int(left / 1'000'000LL) + 1 : 100;
        if (poll(&watch, 1, wait) < 0 && errno != EINTR) {
            std::perror("launchmapped: poll");
            return 1;
        }
    }
}
