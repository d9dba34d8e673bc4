#include "shell.h"

int g_searchPanel = 0;
int g_conPanel = 0;
int g_ethcfgPanel = 0;
int g_sercfgPanel = 0;
int g_conMenuBar = 0;

int debugLog = 0;
int skipBaudSearch = 0;
int UiBusy = 0;
int DevicesChanged = 0;

IniStore SettingsStore = nullptr;
