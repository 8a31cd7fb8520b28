#include "core/discovery/address_list.h"

#include <algorithm>
#include <unordered_set>

#include "core/common/text.h"
#include "core/discovery/addressing.h"

namespace tarn {

namespace {

bool isSeparator(char c) { return c == ',' || c == ';' || c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// One token: its first and last address, or an error text.
bool readToken(const std::string& token, std::uint32_t* first, std::uint32_t* last, std::string* error) {
    const std::size_t slash = token.find('/');
    const std::size_t dash = token.find('-');
    if (slash != std::string::npos) {
        const auto base = parseIPv4(token.substr(0, slash));
        const std::string bits = token.substr(slash + 1);
        if (!base || bits.empty() || bits.size() > 2 ||
            !std::all_of(bits.begin(), bits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
            std::stoi(bits) > 32) {
            *error = "'" + token + "' is not an address block such as 10.1.2.0/24";
            return false;
        }
        const int prefix = std::stoi(bits);
        const std::uint32_t mask = prefix == 0 ? 0 : ~std::uint32_t{0} << (32 - prefix);
        *first = *base & mask;
        *last = *first | ~mask;
        if (prefix <= 30) {  // not the network's own address nor its broadcast address
            ++*first;
            --*last;
        }
        return true;
    }
    if (dash != std::string::npos) {
        const auto from = parseIPv4(token.substr(0, dash));
        std::string toText = token.substr(dash + 1);
        if (from && !toText.empty() && toText.find('.') == std::string::npos)  // "10.1.2.10-50"
            toText = formatIPv4(*from).substr(0, formatIPv4(*from).rfind('.') + 1) + toText;
        const auto to = parseIPv4(toText);
        if (!from || !to || *to < *from) {
            *error = "'" + token + "' is not an address range such as 10.1.2.10-10.1.2.50";
            return false;
        }
        *first = *from;
        *last = *to;
        return true;
    }
    const auto single = parseIPv4(token);
    if (!single) {
        *error = "'" + token + "' is not a dotted IPv4 address";
        return false;
    }
    *first = *last = *single;
    return true;
}

}  // namespace

AddressList parseAddressList(std::string_view text, std::size_t maxAddresses) {
    AddressList out;
    std::unordered_set<std::uint32_t> seen;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isSeparator(text[i])) ++i;
        std::size_t j = i;
        while (j < text.size() && !isSeparator(text[j])) ++j;
        if (j == i) break;
        const std::string token(text.substr(i, j - i));
        i = j;
        std::uint32_t first = 0, last = 0;
        if (!readToken(token, &first, &last, &out.error)) {
            out.addresses.clear();
            return out;
        }
        const std::string tooMany = "more than " + std::to_string(maxAddresses) + " addresses";
        if (std::uint64_t{last} - first + 1 > maxAddresses) {
            out.error = tooMany;
            out.addresses.clear();
            return out;
        }
        for (std::uint64_t a = first; a <= last; ++a) {
            if (!seen.insert(static_cast<std::uint32_t>(a)).second) continue;
            if (out.addresses.size() == maxAddresses) {
                out.error = tooMany;
                out.addresses.clear();
                return out;
            }
            out.addresses.push_back(static_cast<std::uint32_t>(a));
        }
    }
    if (out.addresses.empty()) out.error = "no address";
    return out;
}

ProbeSweep::ProbeSweep(std::vector<std::uint32_t> addresses) : addresses_(std::move(addresses)), sorted_(addresses_) {
    std::sort(sorted_.begin(), sorted_.end());
}

bool ProbeSweep::probes(std::uint32_t address) const {
    return std::binary_search(sorted_.begin(), sorted_.end(), address);
}

std::vector<std::uint32_t> ProbeSweep::nextBatch() {
    const std::size_t end = std::min(addresses_.size(), next_ + kBatch);
    std::vector<std::uint32_t> batch(addresses_.begin() + static_cast<std::ptrdiff_t>(next_),
                                     addresses_.begin() + static_cast<std::ptrdiff_t>(end));
    next_ = end;
    return batch;
}

std::string ProbeSweep::progressText() const {
    return "Probing " + groupedNumber(static_cast<long long>(next_)) + " of " +
           groupedNumber(static_cast<long long>(addresses_.size())) + " addresses";
}

}  // namespace tarn
