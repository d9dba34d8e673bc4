// Termination signals as quit requests. A signal handler may do next to
// nothing, so it only writes a byte into a pipe; the event loop reads it and
// asks itself to quit once no callback runs, exactly like a window close.
// Shutdown then runs as usual and the settings are written.
#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "internal.h"
#include "toolkit/ui.h"

namespace tk {

namespace {

int g_pipe[2] = {-1, -1};
volatile sig_atomic_t g_requested = 0;

void OnSignal(int sig) {
    if (g_requested) {
        // Asked twice: the user wants it gone now.
        std::signal(sig, SIG_DFL);
        std::raise(sig);
        return;
    }
    g_requested = 1;
    char byte = static_cast<char>(sig);
    [[maybe_unused]] ssize_t n = ::write(g_pipe[1], &byte, 1);
}

} // namespace

std::vector<int> TerminationSignals() {
    return {SIGTERM, SIGINT, SIGHUP};
}

int QuitOnSignals(const std::vector<int> &signalNumbers) {
    if (!UIRuntimeReady())
        return UIE_NOT_INITIALIZED;
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return -1;
    static QSocketNotifier *notifier = nullptr;
    if (!notifier) {
        notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, qApp);
        QObject::connect(notifier, &QSocketNotifier::activated, [] {
            char buffer[16];
            while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
            }
            detail::DeferUserEvent([] { QuitUserInterface(0); });
        });
    }
    g_requested = 0;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : signalNumbers)
        if (::sigaction(sig, &action, nullptr) != 0)
            return -1;
    return 0;
}

} // namespace tk
