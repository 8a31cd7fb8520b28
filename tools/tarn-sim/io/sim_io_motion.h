// What makes a simulated device worth charting: each ADC port follows a slow wave around the middle
// of its range with a little noise, and each input toggles on a period of its own. Both are a pure
// function of the device and of the time since it started, so no timer runs and a run with the
// same times gives the same values. `tarn-sim --fixed-clock` and "io": {"moving": false} keep the
// ports as the fleet file sets them.
#pragma once

#include <cstdint>

#include "core/iolink/io_device.h"

namespace tarnsim {

// The ADC values and input states of a moving device `ms` milliseconds after it started. `initial`
// gives the inputs' starting states; `seed` sets each device apart.
void applyMotion(tarn::IoDeviceState& state, const tarn::IoDeviceState& initial, std::uint32_t seed, std::int64_t ms);

}  // namespace tarnsim
