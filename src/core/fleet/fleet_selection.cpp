#include "core/fleet/fleet_selection.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <set>

#include "core/common/text.h"
#include "core/discovery/management_message.h"

namespace tarn {

namespace {

std::optional<MacAddress> parseFleetMac(std::string text) {
    std::replace(text.begin(), text.end(), '-', ':');
    return parseMacText(text);
}

// "1.1" -> {1, 1}; nothing unless two numbers joined by one dot.
std::optional<std::pair<int, int>> parseVersion(const std::string& text) {
    int major = 0, minor = 0, used = 0;
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text.front()))) return std::nullopt;
    if (std::sscanf(text.c_str(), "%3d.%3d%n", &major, &minor, &used) != 2) return std::nullopt;
    if (used != static_cast<int>(text.size())) return std::nullopt;
    return std::make_pair(major, minor);
}

}  // namespace

std::optional<std::string> checkFleetFilter(const FleetFilter& filter) {
    if (!filter.version.empty() && !parseVersion(filter.version))
        return "--version must be MAJOR.MINOR, such as 1.1, not '" + filter.version + "'";
    for (const std::string& mac : filter.macs) {
        if (!parseFleetMac(mac))
            return "--mac must be six hexadecimal pairs separated by ':' or '-', not '" + mac + "'";
    }
    return std::nullopt;
}

FleetSelection selectFleet(const std::vector<DeviceEntry>& answered, const FleetFilter& filter,
                           const ProductNames& productName) {
    // The MACs asked for, in their order and once each; the set answers "asked for?" for a list of
    // any length (a site table of 600,000 lines) without a scan.
    std::vector<MacAddress> macs;
    std::set<MacAddress> asked;
    for (const std::string& text : filter.macs) {
        if (auto mac = parseFleetMac(text); mac && asked.insert(*mac).second) macs.push_back(*mac);
    }
    const auto version = parseVersion(filter.version);
    std::vector<std::pair<MacAddress, DeviceEntry>> chosen;
    // Every device heard, by MAC, once: a device that answered twice (same name and address) is one.
    std::map<MacAddress, std::vector<const DeviceEntry*>> heard;
    for (const DeviceEntry& device : answered) {
        const auto mac = parseFleetMac(device.mac);
        if (!mac) continue;  // no file name and no way to address it
        std::vector<const DeviceEntry*>& same = heard[*mac];
        if (std::any_of(same.begin(), same.end(),
                        [&](const DeviceEntry* h) { return h->ip == device.ip && h->name == device.name; }))
            continue;
        same.push_back(&device);
        if (!macs.empty() && !asked.contains(*mac)) continue;
        if (!filter.product.empty() && filter.product != device.productId &&
            !equalsIgnoreCase(filter.product, productName(device.productId)))
            continue;
        if (version && parseVersion(device.version) != version) continue;
        if (!filter.nameGlob.empty() && !matchesGlob(filter.nameGlob, device.name)) continue;
        chosen.emplace_back(*mac, device);
    }
    std::stable_sort(chosen.begin(), chosen.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    FleetSelection selection;
    const auto heardCount = [&heard](const MacAddress& mac) {
        const auto it = heard.find(mac);
        return it == heard.end() ? std::size_t{0} : it->second.size();
    };
    for (const MacAddress& mac : macs) {
        if (heardCount(mac) > 0) continue;
        DeviceEntry absent;
        char text[18];
        std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3], mac[4],
                      mac[5]);
        absent.mac = text;
        selection.unreached.push_back(
            {absent, {}, OutcomeStatus::NoReply, "no device with this MAC answered the probe", {}});
    }
    // A MAC two devices answer with reaches either of them: neither is touched.
    for (auto& [mac, device] : chosen) {
        if (heardCount(mac) > 1 || !device.conflictAddress.empty())
            selection.unreached.push_back({device,
                                           {},
                                           OutcomeStatus::Duplicate,
                                           "another device answered with the same MAC; neither was touched",
                                           {}});
        else
            selection.devices.push_back(std::move(device));
    }
    return selection;
}

}  // namespace tarn
