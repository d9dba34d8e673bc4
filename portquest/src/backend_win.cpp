// Windows backend: the system's SetupAPI, plus the DLL's entry point.
#include "portquest.h"
#include "setupapi_win.h"

#include <windows.h>

extern "C" int PortQuest(const char *nameFragment, int *portNumbers, int maxPorts) {
    portquest::WindowsSetupApi api;
    return portquest::QuestPorts(api, nameFragment, portNumbers, maxPorts);
}

// The library needs no set-up or clean-up on any attach or detach.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
