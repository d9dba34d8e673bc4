// Factories of the built-in device kinds (see kinds.cpp).
#ifndef CORVINSIM_SENSORS_H
#define CORVINSIM_SENSORS_H

#include "sim/lab.h"

namespace corvinsim {

std::unique_ptr<Device> MakeUsbSensor(const SectionView &section, LabBuilder &lab,
                                      std::string *error);
std::unique_ptr<Device> MakeComSensor(const SectionView &section, LabBuilder &lab,
                                      std::string *error);
std::unique_ptr<Device> MakeTcpSensor(const SectionView &section, LabBuilder &lab,
                                      std::string *error);

} // namespace corvinsim

#endif
