// Registration point of the device kinds a lab file may name with Kind=.
// A new kind adds one row here and its factory in a file of its own.
#include "sensors.h"

namespace corvinsim {

// sim/converter/converter_kind.cpp
std::unique_ptr<Device> MakeConverterModule(const SectionView &section, LabBuilder &lab,
                                            std::string *error);

const std::vector<DeviceKind> &DeviceKinds() {
    static const std::vector<DeviceKind> kinds = {
        {"USB", MakeUsbSensor},
        {"COM", MakeComSensor},
        {"Pty", MakeExportedPtySensor},
        {"TCP", MakeTcpSensor},
        {"Converter", MakeConverterModule},
    };
    return kinds;
}

} // namespace corvinsim
