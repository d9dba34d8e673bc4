// Windows: Ctrl-C, Ctrl-Break, a closed console and a logoff as quit
// requests. The console handler runs on a thread of its own, so the request
// is queued to the GUI thread. (Built only on Windows; untested here.)
#include <QCoreApplication>
#include <QMetaObject>
#include <windows.h>

#include "internal.h"
#include "toolkit/ui.h"

namespace tk {

namespace {

volatile LONG g_requested = 0;

BOOL WINAPI OnConsoleEvent(DWORD) {
    if (InterlockedExchange(&g_requested, 1) != 0)
        return FALSE; // asked twice: let the default handler end the program
    QMetaObject::invokeMethod(
        qApp, [] { detail::DeferUserEvent([] { QuitUserInterface(0); }); }, Qt::QueuedConnection);
    return TRUE;
}

} // namespace

std::vector<int> TerminationSignals() {
    return {};
}

int QuitOnSignals(const std::vector<int> &) {
    if (!UIRuntimeReady())
        return UIE_NOT_INITIALIZED;
    g_requested = 0;
    return SetConsoleCtrlHandler(OnConsoleEvent, TRUE) ? 0 : -1;
}

} // namespace tk
