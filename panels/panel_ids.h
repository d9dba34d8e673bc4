// Constants of every panel, their controls and the search panel's menu bar.
#ifndef CORVIN_PANEL_IDS_H
#define CORVIN_PANEL_IDS_H

#include "con_pnl.h"
#include "ethcfg_pnl.h"
#include "search_pnl.h"
#include "sercfg_pnl.h"

#endif
