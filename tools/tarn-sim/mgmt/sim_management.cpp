#include "tarn-sim/mgmt/sim_management.h"

#include <algorithm>

#include "core/discovery/reply_gate.h"
#include "core/params/parameter_entry.h"

namespace tarnsim {

namespace {

constexpr std::size_t kMacAt = 4;  // first MAC byte of the MAC-addressed form
// How far an overrunning length field reaches past the datagram's end.
constexpr std::uint16_t kOverrunBytes = 64;

}  // namespace

SimManagement::SimManagement(SimParameters parameters, const SimDeviceConfig& config, tarn::Credentials credentials)
    : parameters_(std::move(parameters)),
      order_(parameters_.order()),
      macForm_(config.macForm),
      mac_(config.mac),
      faults_(config.managementFaults),
      credentials_(std::move(credentials)),
      started_(parameters_.startupIdentity()) {}

ManagementAnswer SimManagement::answer(tarn::ByteView datagram) {
    // A device's request buffer: what does not fit is never read.
    if (faults_.requestBuffer > 0 && datagram.size() > static_cast<std::size_t>(faults_.requestBuffer)) return {};
    const auto request = tarn::parseReplyHeader(datagram, order_);
    if (!request || !request->complete || request->receivedChecksum != request->computedChecksum) return {};
    if (request->macForm && !std::equal(mac_.begin(), mac_.end(), datagram.begin() + kMacAt)) return {};

    const auto command = static_cast<tarn::CommandCode>(request->code);
    if (command != tarn::CommandCode::GetValues && command != tarn::CommandCode::SetValues &&
        command != tarn::CommandCode::Reboot)
        return {};

    if (faults_.dropRequests > 0) {  // lost on the way: the device never saw it
        --faults_.dropRequests;
        return {};
    }
    ManagementAnswer out;
    if (faults_.forgedFrom != 0) out.forged = forgedReply(command, *request);
    tarn::CommandCode code = tarn::CommandCode::AuthFailed;
    tarn::Bytes body;
    const bool refuseSet = command == tarn::CommandCode::SetValues && faults_.refuseSets > 0;
    if (refuseSet) --faults_.refuseSets;
    if (refuseSet || request->id != credentials_.id || request->password != credentials_.password) {
        code = tarn::CommandCode::AuthFailed;
    } else if (command == tarn::CommandCode::GetValues) {
        bool malformed = false;
        body = valuesReply(parameters_, request->body, &malformed);
        if (malformed) return {};
        code = tarn::CommandCode::GetValuesReply;
    } else if (command == tarn::CommandCode::SetValues) {
        if (!storeValues(request->body, &out.credentials)) return {};
        code = tarn::CommandCode::SetValuesReply;
    } else {
        ++reboots_;
        parameters_.rebooted();
        // Written values take effect at the restart, the name and address as well.
        const StartupIdentity next = parameters_.startupIdentity();
        if (next.name != started_.name) out.newName = next.name;
        if (next.address != started_.address && !next.address.empty()) out.newAddress = next.address;
        started_ = next;
        body = {0, 0, 0};
        code = tarn::CommandCode::RebootDone;
    }

    const int copies = faults_.duplicateReplies ? 2 : 1;
    for (int i = 0; i < copies; ++i) {
        if (faults_.staleReply && previousRequestId_)
            out.datagrams.push_back(reply(code, body, *request, *previousRequestId_));
        out.datagrams.push_back(reply(code, body, *request, request->requestId));
    }
    previousRequestId_ = request->requestId;
    return out;
}

tarn::Bytes SimManagement::valuesReply(const SimParameters& parameters, tarn::ByteView body, bool* malformed) const {
    const tarn::ValueEntries asked = tarn::readValueEntries(body, order_);
    *malformed = asked.overrun;
    tarn::Bytes out;
    for (const tarn::ValueEntry& e : asked.entries) {
        if (const auto value = parameters.read(e.id)) tarn::appendValueEntry(out, e.id, *value, order_);
    }
    return out;
}

// What a forger who saw the request would answer: whatever suits it, as if the device had taken it.
tarn::Bytes SimManagement::forgedReply(tarn::CommandCode command, const tarn::ReplyHeader& request) const {
    tarn::Bytes body = {0, 0, 0};
    if (command == tarn::CommandCode::GetValues) {
        SimParameters forged = parameters_;
        std::string ignored;
        forged.setText("Device name", "EVIL-5", &ignored);
        forged.setText("IP address", "10.66.66.66", &ignored);
        bool malformed = false;
        body = valuesReply(forged, request.body, &malformed);
    } else if (command == tarn::CommandCode::SetValues) {
        body.clear();
    }
    return reply(tarn::replyCodeOf(command), body, request, request.requestId);
}

bool SimManagement::storeValues(tarn::ByteView body, std::optional<tarn::Credentials>* changed) {
    const tarn::ValueEntries given = tarn::readValueEntries(body, order_);
    if (given.overrun) return false;
    tarn::Credentials next = credentials_;
    bool credentialsSet = false;
    for (const tarn::ValueEntry& e : given.entries) {
        if (!parameters_.write(e.id, e.value)) continue;
        // The device's own user ID and password records are the credentials it accepts.
        switch (credentialRecordKind(e.id)) {
            case 1:
                next.id = parameters_.text(e.id);
                break;
            case 2:
                next.password = parameters_.text(e.id);
                break;
            default:
                continue;
        }
        credentialsSet = true;
    }
    if (credentialsSet) *changed = next;
    return true;
}

tarn::Bytes SimManagement::reply(tarn::CommandCode code, tarn::ByteView body, const tarn::ReplyHeader& request,
                                 const tarn::RequestIdBytes& requestId) const {
    tarn::RequestAddress address;
    address.macForm = macForm_;
    address.mac = mac_;
    address.id = request.id;
    address.password = request.password;
    // buildRequest writes the id in device byte order, which gives back the bytes as they came.
    const auto built = tarn::buildRequest(address, code, body, order_, tarn::readU16(requestId.data(), order_));
    if (!built) return {};
    tarn::Bytes bytes = built->bytes;
    if (faults_.lengthOverrun && code == tarn::CommandCode::GetValuesReply) {
        const std::size_t lengthAt = bytes.size() - 2 - (5 + body.size());
        tarn::writeU16(bytes.data() + lengthAt, static_cast<std::uint16_t>(5 + body.size() + kOverrunBytes), order_);
    }
    if (faults_.badChecksum) bytes.back() ^= 0xFF;
    return bytes;
}

}  // namespace tarnsim
