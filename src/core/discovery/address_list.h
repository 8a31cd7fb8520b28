// Addresses typed for Quick Connect and `tarnctl probe --address`: single addresses, ranges
// ("10.1.2.10-10.1.2.50", or "10.1.2.10-50" within the last number) and blocks ("10.1.2.0/24"),
// separated by commas, semicolons, blanks or line breaks. A block of four or more addresses leaves
// out its first and last address (the network and its broadcast address): every probe goes to
// one device by unicast.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// At most this many addresses in one list: a /16 and then some, never a whole /8 by a typo.
constexpr std::size_t kMaxListedAddresses = 65536;

struct AddressList {
    std::vector<std::uint32_t> addresses;  // in the order typed, each once
    std::string error;                     // empty when the whole text was understood
    bool ok() const { return error.empty(); }
};

AddressList parseAddressList(std::string_view text, std::size_t maxAddresses = kMaxListedAddresses);

// Unicast probes at a steady pace: a batch of addresses every interval, so that a /16 neither
// floods the network nor waits for a slow sender.
class ProbeSweep {
public:
    static constexpr int kIntervalMs = 5;
    static constexpr std::size_t kBatch = 25;  // 5,000 probes a second

    explicit ProbeSweep(std::vector<std::uint32_t> addresses = {});
    // The addresses of the next batch (empty when all were taken).
    std::vector<std::uint32_t> nextBatch();
    bool done() const { return next_ >= addresses_.size(); }
    std::size_t total() const { return addresses_.size(); }
    // Whether the sweep probes this address: a reply from any other is not an answer to it.
    bool probes(std::uint32_t address) const;
    // Stop: no further batch.
    void stop() { next_ = addresses_.size(); }
    // Worth a progress line: more than one batch, so more than an instant.
    bool showsProgress() const { return addresses_.size() > kBatch; }
    // "Probing 12,000 of 65,534 addresses".
    std::string progressText() const;

private:
    std::vector<std::uint32_t> addresses_;
    std::vector<std::uint32_t> sorted_;
    std::size_t next_ = 0;
};

}  // namespace tarn
