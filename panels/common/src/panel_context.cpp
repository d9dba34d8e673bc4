#include "panels/panel_context.h"

#include <cstring>

#include "search/search_worker.h"
#include "toolkit/ui.h"

void PanelContext::SearchAgain() {
    if (searchAgainFn)
        searchAgainFn(*this);
}

void PanelContext::CancelSearch() {
    if (searchCancel)
        searchCancel->Cancel();
}

void PanelContext::ShowTransferMode(int mode) {
    if (showTransferModeFn)
        showTransferModeFn(*this, mode);
}

int PanelContext::ProbeSensor(char *text, size_t textSize, SensorIdentity *identity) {
    if (!probeSensorFn)
        return -1;
    return probeSensorFn(*this, text, textSize, identity);
}

BusyGuard::BusyGuard(PanelContext &ctx) : ctx_(ctx), owned_(!ctx.busy) {
    if (!owned_)
        return;
    ctx_.busy = true;
    tk::SetWaitCursor(1);
}

BusyGuard::~BusyGuard() {
    if (!owned_)
        return;
    ctx_.busy = false;
    tk::SetWaitCursor(0);
}

void LeaveConverterDialog(PanelContext &ctx, int dialogPanel) {
    ctx.messages.Status("", 0);
    std::memset(&ctx.editedConverter, 0, sizeof ctx.editedConverter);
    tk::HidePanel(dialogPanel);
    // A search refused for a busy program would leave no panel on screen.
    if (ctx.devicesChanged && !ctx.busy)
        ctx.SearchAgain();
    else
        tk::DisplayPanel(ctx.panels.con);
}
