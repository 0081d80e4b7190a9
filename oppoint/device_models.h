// Each device kind's small-signal equivalent, transcribed from the values the simulator
// stamps into its own AC matrix at the operating point.
#pragma once

#include <string>

#include "spice/operating_point.h"

namespace quorvat::oppoint {

/// Where a device's values come from: its instance parameters (@q1[gm]) and those of
/// the model it uses.
class DeviceValues {
public:
    virtual ~DeviceValues() = default;
    virtual bool instance(const std::string& name, double& value) = 0;
    virtual bool model(const std::string& name, double& value) = 0;
    /// The simulator's name of the device's implementation: BJT, Mos1, Diode, JFET...
    virtual std::string implementation() = 0;
};

/// The device's equivalent, bias values and region; a refusal naming the reason when
/// the simulator does not expose what its AC matrix holds.
spice::DeviceResult linearise(const spice::DeviceRequest& device, DeviceValues& values);

}  // namespace quorvat::oppoint
