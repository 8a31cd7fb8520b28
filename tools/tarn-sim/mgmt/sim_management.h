// The management side of one simulated device: answers GetValues (A0), SetValues (B0) and Reboot
// (F0) from its parameter values, checks the ID and password every request carries, and applies the
// content fault knobs. Plain data in, datagrams out; the device sends them.
//
//   request                         reply (same envelope, request's ID, password and request id)
//   A0  k ids.. 00 00, ...          A2  one entry per known id; "0" / "n.0" give a class block
//   B0  k ids.. LL LL value, ...    B2  empty body; known, writable, right-sized values are stored
//   F0  00 00 00                    FF  00 00 00
//   wrong ID or password            C0  empty body
#pragma once

#include <optional>
#include <vector>

#include "core/common/prompter.h"
#include "tarn-sim/fleet_config.h"
#include "tarn-sim/mgmt/sim_parameters.h"

namespace tarnsim {

struct ManagementAnswer {
    std::vector<tarn::Bytes> datagrams;            // in sending order; empty: the request is ignored
    tarn::Bytes forged;                            // sent first, from the forger's address (mgmtForgedFrom)
    std::optional<tarn::Credentials> credentials;  // taken on once the datagrams have gone out
    // A reboot after a set of "Device name" or "IP address": what the device calls itself and where
    // it answers from now on, taken on once the reply has gone out (from the old address).
    std::optional<std::string> newName;
    std::optional<std::string> newAddress;
};

class SimManagement {
public:
    SimManagement(SimParameters parameters, const SimDeviceConfig& config, tarn::Credentials credentials);

    // Ignores anything that is not a well-formed request for this device (wrong signature, other
    // device's MAC, cut short, wrong checksum, unreadable body, unknown command).
    ManagementAnswer answer(tarn::ByteView datagram);
    void adoptCredentials(const tarn::Credentials& credentials) { credentials_ = credentials; }

    const tarn::Credentials& credentials() const { return credentials_; }
    SimParameters& parameters() { return parameters_; }
    int reboots() const { return reboots_; }

private:
    tarn::Bytes reply(tarn::CommandCode code, tarn::ByteView body, const tarn::ReplyHeader& request,
                      const tarn::RequestIdBytes& requestId) const;
    tarn::Bytes valuesReply(const SimParameters& parameters, tarn::ByteView body, bool* malformed) const;
    tarn::Bytes forgedReply(tarn::CommandCode command, const tarn::ReplyHeader& request) const;
    bool storeValues(tarn::ByteView body, std::optional<tarn::Credentials>* changed);

    SimParameters parameters_;
    tarn::ByteOrder order_;
    bool macForm_;
    tarn::MacAddress mac_;
    ManagementFaults faults_;
    tarn::Credentials credentials_;
    std::optional<tarn::RequestIdBytes> previousRequestId_;
    int reboots_ = 0;
    StartupIdentity started_;  // as the device took it at its last start
};

}  // namespace tarnsim
