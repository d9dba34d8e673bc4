// The words of the connection tree and of the search's progress bar, in the
// language the program runs in (support/uitexts.h). The headless scan
// applies no language file and so always prints them in English.
#ifndef CORVIN_SEARCH_TEXTS_H
#define CORVIN_SEARCH_TEXTS_H

#include "support/uitexts.h"

namespace search_texts {

inline constexpr const char *kTree = "SEARCH_PNL_TREE_CONNECTIONS_TEXTS";
inline constexpr const char *kProgress = "SEARCH_PNL_PRBR_PROGRESS_TEXTS";

// Group and placeholder lines.
inline constexpr UiText kOther{kTree, "Other", "other"};
inline constexpr UiText kNone{kTree, "None", "NONE"};
// Description lines: the label, a space, the value.
inline constexpr UiText kType{kTree, "Type", "Type:"};
inline constexpr UiText kDeviceMode{kTree, "DeviceMode", "Device mode:"};
inline constexpr UiText kIpMode{kTree, "IpMode", "IP mode:"};
inline constexpr UiText kLocalIp{kTree, "LocalIp", "Local IP:"};
inline constexpr UiText kLocalPort{kTree, "LocalPort", "Local portno.:"};
inline constexpr UiText kSubnetMask{kTree, "SubnetMask", "Subnet Mask:"};
inline constexpr UiText kGateway{kTree, "Gateway", "Gateway address:"};
inline constexpr UiText kRemoteIp{kTree, "RemoteIp", "Remote host IP:"};
inline constexpr UiText kRemotePort{kTree, "RemotePort", "Remote host portno.:"};
inline constexpr UiText kSerialBaud{kTree, "SerialBaud", "Serial baudrate:"};
inline constexpr UiText kComPort{kTree, "ComPort", "Virtual COM Port No.:"};
inline constexpr UiText kIdentified{kTree, "Identified", "Status: Sensor identified"};
inline constexpr UiText kNotIdentified{kTree, "NotIdentified", "Status: No sensor identified"};
inline constexpr UiText kSensorSerial{kTree, "SensorSerial", "Sensor serial:"};
inline constexpr UiText kSensorType{kTree, "SensorType", "Sensor type:"};
inline constexpr UiText kSensorBaud{kTree, "SensorBaud", "Sensor baudrate:"};
// Converter operating and address modes (UDP and DHCP read the same in
// every language).
inline constexpr UiText kTcpClient{kTree, "TcpClient", "TCP client"};
inline constexpr UiText kTcpServer{kTree, "TcpServer", "TCP server"};
inline constexpr UiText kTcpMixed{kTree, "TcpMixed", "TCP mixed"};
inline constexpr UiText kStatic{kTree, "Static", "STATIC"};

// Progress: the network pass, and each serial cycle as "<rate> <kBaudPass>".
inline constexpr UiText kNetworkPass{kProgress, "NetworkPass", "Checking network devices ..."};
inline constexpr UiText kBaudPass{kProgress, "BaudPass", "baud ..."};

// Why the converter dialog refuses a value; %1 stands for it.
inline constexpr const char *kConverterDialog = "ETHCFG_PNL_TEXTS";
inline constexpr UiText kPartOutOfRange{kConverterDialog, "PartOutOfRange",
                                        "part %1 is outside 0 to 255"};
inline constexpr UiText kNotAPort{kConverterDialog, "NotAPort", "%1 is not a port 1 to 65535"};
inline constexpr UiText kNotASubnetMask{kConverterDialog, "NotASubnetMask",
                                        "%1 is not a subnet mask"};

inline constexpr const UiText *kAll[] = {
    &kOther,          &kNone,       &kType,           &kDeviceMode,   &kIpMode,      &kLocalIp,
    &kLocalPort,      &kSubnetMask, &kGateway,        &kRemoteIp,     &kRemotePort,  &kSerialBaud,
    &kComPort,        &kIdentified, &kNotIdentified,  &kSensorSerial, &kSensorType,  &kSensorBaud,
    &kTcpClient,      &kTcpServer,  &kTcpMixed,       &kStatic,       &kNetworkPass, &kBaudPass,
    &kPartOutOfRange, &kNotAPort,   &kNotASubnetMask,
};

} // namespace search_texts

#endif
