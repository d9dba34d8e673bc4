// Texts of the four panels that belong to no control of them, in the
// language the program runs in (support/uitexts.h). Each panel's section is
// its constant name with "_TEXTS".
#ifndef CORVIN_PANEL_TEXTS_H
#define CORVIN_PANEL_TEXTS_H

#include "support/uitexts.h"

namespace panel_texts {

inline constexpr const char *kSearch = "SEARCH_PNL_TEXTS";
inline constexpr const char *kCon = "CON_PNL_TEXTS";
inline constexpr const char *kEthCfg = "ETHCFG_PNL_TEXTS";
inline constexpr const char *kSerCfg = "SERCFG_PNL_TEXTS";

// The search button while a search runs, and the bar after a cancel.
inline constexpr UiText kCancel{kSearch, "Cancel", "Cancel"};
inline constexpr UiText kSearchCancelled{kSearch, "SearchCancelled", "Search cancelled"};

// After message 7 ("Error") and a colon.
inline constexpr UiText kNoConnectionType{kCon, "NoConnectionType", "no connection type chosen"};

// "<Reading device> ... <OK>", "<Writing device> ... <FAIL>: cause".
inline constexpr UiText kReadingDevice{kEthCfg, "ReadingDevice", "Reading device"};
inline constexpr UiText kWritingDevice{kEthCfg, "WritingDevice", "Writing device"};
inline constexpr UiText kOk{kEthCfg, "Ok", "OK"};
inline constexpr UiText kFail{kEthCfg, "Fail", "FAIL"};
// A module's operating mode the ring does not offer: "<Mode> 5".
inline constexpr UiText kMode{kEthCfg, "Mode", "mode"};
// The fields a write refuses, before a colon and the reason.
inline constexpr UiText kOwnAddress{kEthCfg, "OwnAddress", "Device IP address"};
inline constexpr UiText kSubnetMask{kEthCfg, "SubnetMask", "Subnet mask"};
inline constexpr UiText kGateway{kEthCfg, "Gateway", "Gateway address"};
inline constexpr UiText kLocalPort{kEthCfg, "LocalPort", "Device port nbr."};
inline constexpr UiText kRemoteHost{kEthCfg, "RemoteHost", "Destination IP address"};
inline constexpr UiText kRemotePort{kEthCfg, "RemotePort", "Destination port nbr."};

// The pop-up before a rate the usual search does not probe.
inline constexpr UiText kWarningTitle{kSerCfg, "WarningTitle", "Warning"};
inline constexpr UiText kHighRateWarning{
    kSerCfg, "HighRateWarning",
    "The search probes 9600 to 115200 baud. At a higher rate the sensor is found by the search "
    "after this dialog, and later only with Settings > Search all baudrates."};

inline constexpr const UiText *kAll[] = {
    &kCancel,
    &kSearchCancelled,
    &kNoConnectionType,
    &kReadingDevice,
    &kWritingDevice,
    &kOk,
    &kFail,
    &kMode,
    &kOwnAddress,
    &kSubnetMask,
    &kGateway,
    &kLocalPort,
    &kRemoteHost,
    &kRemotePort,
    &kWarningTitle,
    &kHighRateWarning,
};

} // namespace panel_texts

#endif
