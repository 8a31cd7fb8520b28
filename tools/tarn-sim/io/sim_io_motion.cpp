#include "tarn-sim/io/sim_io_motion.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tarnsim {

namespace {

// A small integer hash (splitmix64's finaliser): the noise of one port at one tenth of a second.
std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

}  // namespace

void applyMotion(tarn::IoDeviceState& state, const tarn::IoDeviceState& initial, std::uint32_t seed, std::int64_t ms) {
    const double seconds = static_cast<double>(ms) / 1000.0;
    for (int k = 0; k < tarn::kIoAdcCount; ++k) {
        // Periods of 90 to 180 s, a quarter turn apart; amplitude 400 around 512; noise within +-6.
        const double period = 90.0 + 30.0 * k;
        const double phase = k * std::numbers::pi / 2 + (seed % 360) * std::numbers::pi / 180;
        const double wave = 512 + 400 * std::sin(2 * std::numbers::pi * seconds / period + phase);
        const auto noise = static_cast<int>(mix((std::uint64_t{seed} << 32) ^ (k << 24) ^ (ms / 100)) % 13) - 6;
        state.adcValue[k] = std::clamp(static_cast<int>(std::lround(wave)) + noise, 0, 1023);
    }
    for (int i = 0; i < tarn::kIoInputCount; ++i) {
        // Input i changes every 10 + 5 i seconds (plus up to a second per device).
        const std::int64_t period = 10000 + 5000 * i + seed % 1000;
        state.inputOn[i] = initial.inputOn[i] != ((ms / period) % 2 == 1);
    }
}

}  // namespace tarnsim
