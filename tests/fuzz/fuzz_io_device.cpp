// Fuzz target: the simulated device's request interpreter, whose answers must always be frames.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/iolink/io_device.h"
#include "core/iolink/io_frame.h"
#include "core/iolink/io_framer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tarn::IoDeviceModel device;
    device.state().settingMode = size % 2 == 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Each line is one request payload; then the whole input goes through the device's framer.
    std::size_t start = 0;
    while (start <= bytes.size()) {
        const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
        const std::string reply = device.answer(bytes.substr(start, end - start));
        if (reply.size() < 3 || reply.size() > 200) __builtin_trap();
        start = end + 1;
    }
    tarn::IoFramer framer;
    framer.feed(bytes, [&](std::string_view frame) {
        if (!tarn::checkIoFrame(device.answerFrame(frame))) __builtin_trap();
    });
    return 0;
}
