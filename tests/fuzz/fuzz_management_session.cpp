// Fuzz target: the parameter view's reply handler over the TARN-IO 1.1 definitions of the data
// folder. Each input becomes a device reply spliced into a valid envelope around the request the
// session sent (its credentials and request id), so that it reaches past request-id matching;
// sometimes with a wrong length field, sometimes fed as it is.
//
//   byte 0   bits 0-1  reply code: A2 values, B2 set, C0 refused, FF reboot
//            bits 2-3  envelope: exact length, length too long, length too short, the body as it is
//            bit 4     the reply wait runs out after the replies
//            bits 5-7  how far a wrong length is off (1..8)
//   byte 1   bits 0-1  operation: whole-device get, group get, set of marked rows, reboot
//            bit 2     two devices selected instead of one
//            bits 3-7  the group of a group get; for a set, every fourth row from (bits % 4) is marked
//   rest     the reply body
//
// The same body is then answered once more: around the next request when the reply started one
// (refused credentials read again, the reboot after a set), else around the other device's request
// or, with one device, as a repeated answer. Every input runs on a fresh session, request ids
// seeded alike, and a fresh credential log, so that a finding reproduces from its input alone; the
// sessions share the definition sets of the run (the .dcf is read for every input, parsed once).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/common/silent_prompter.h"
#include "core/discovery/management_message.h"
#include "core/manage/credential_log.h"
#include "core/manage/management_session.h"

namespace {

using namespace tarn;

constexpr ByteOrder kOrder = ByteOrder::Big;  // product 74

class QuietHost : public ManagementHost {
public:
    std::vector<DeviceEntry> devices;
    std::vector<Bytes> sent;

    std::vector<DeviceEntry> selectedDevices() const override { return devices; }
    bool onLocalSubnet(const std::string&) const override { return true; }
    bool sendDatagram(const Bytes& datagram, const std::string&) override {
        sent.push_back(datagram);
        return true;
    }
    void startTimer(SessionTimer, int) override {}
    void stopTimer(SessionTimer) override {}
    void definitionsChanged() override {}
    void setMonitorAddress(const std::string&) override {}
    void setMonitorPort(int) override {}
    void showProgress(const std::string&) override {}
};

DeviceEntry ioDevice(int n) {
    DeviceEntry e;
    e.name = "IO-" + std::to_string(n);
    e.ip = "127.0.0." + std::to_string(n);
    e.mac = "00:50:C2:00:00:0" + std::to_string(n);
    e.productId = "74";
    e.version = "1.1";
    return e;
}

std::string folderPath;
std::string logPath;
std::string logText;  // both devices logged as admin/admin

void removeFolder() { std::filesystem::remove_all(folderPath); }

void writeLog() {
    std::FILE* f = std::fopen(logPath.c_str(), "wb");
    if (!f) std::abort();
    std::fwrite(logText.data(), 1, logText.size(), f);
    std::fclose(f);
}

// The reply a device gives to a request: its credentials and request id around the code and body.
Bytes spliced(const Bytes& request, std::uint8_t code, ByteView body, int envelope, int lengthError) {
    const auto head = parseReplyHeader(request, kOrder);
    if (!head) std::abort();
    RequestAddress address;
    address.id = head->id;
    address.password = head->password;
    auto built =
        buildRequest(address, static_cast<CommandCode>(code), body, kOrder, readU16(head->requestId.data(), kOrder));
    if (!built) std::abort();
    Bytes& out = built->bytes;
    if (envelope == 1 || envelope == 2) {
        const std::size_t at = 4 + 1 + head->id.size() + 1 + head->password.size();
        const int length = readU16(out.data() + at, kOrder) + (envelope == 1 ? lengthError : -lengthError);
        out[at] = static_cast<std::uint8_t>(length >> 8);
        out[at + 1] = static_cast<std::uint8_t>(length);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // In memory where there is such a folder: the log is rewritten for every input.
    char shm[] = "/dev/shm/fuzz_management_session.XXXXXX";
    char tmp[] = "/tmp/fuzz_management_session.XXXXXX";
    const char* folder = mkdtemp(shm);
    if (!folder) folder = mkdtemp(tmp);
    if (!folder) std::abort();
    folderPath = folder;
    std::atexit(removeFolder);
    logPath = folderPath + "/pwd.ini";
    CredentialLog log(logPath);
    log.LoadLog();
    for (int n : {2, 3}) {
        log.AppendEntry();
        log.StoreEntry(ioDevice(n).mac, "admin", "admin", -1);
    }
    if (!log.SaveLog()) std::abort();
    std::FILE* f = std::fopen(logPath.c_str(), "rb");
    if (!f) std::abort();
    char buffer[512];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) logText.append(buffer, n);
    std::fclose(f);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    static constexpr std::uint8_t kCodes[] = {0xA2, 0xB2, 0xC0, 0xFF};
    const std::uint8_t code = kCodes[data[0] & 3];
    const int envelope = data[0] >> 2 & 3;
    const bool replyWaitRunsOut = data[0] & 0x10;
    const int lengthError = (data[0] >> 5) + 1;
    const int operation = data[1] & 3;
    const bool twoDevices = data[1] & 4;
    const int choice = data[1] >> 3;
    const ByteView body(data + 2, size - 2);

    writeLog();
    QuietHost host;
    host.devices.push_back(ioDevice(2));
    if (twoDevices) host.devices.push_back(ioDevice(3));
    tarn::SilentPrompter prompter;
    prompter.confirmAnswer = true;
    prompter.credentials = Credentials{"admin", "admin"};
    // The definitions are read from the data folder by every input; parsed once, as the file is the same.
    static const auto definitions = std::make_shared<DefinitionStore>();
    auto session = std::make_unique<ManagementSession>(
        host, prompter,
        SessionSettings{TARN_FUZZ_DATA_DIR "/", logPath, 100, 3000, definitions, nullptr,
                        [id = std::uint16_t{10}]() mutable { return id++; }});

    session->RequestParameterValues(0);
    session->timerExpired(SessionTimer::NextDevice);
    const DefinitionSet* set = session->definitions().current();
    if (!set || host.sent.empty()) std::abort();  // the data folder's set must load
    if (operation == 1 && set->groupCount() > 1) {
        session->SelectGroup(1 + choice % (set->groupCount() - 1));
        session->timerExpired(SessionTimer::NextDevice);
    } else if (operation == 2) {
        ParameterTable& table = session->table();
        // Marked rows with texts the check lets through ("1", or the first enumeration entry).
        for (int r = choice % 4; r < table.recordRowCount(); r += 4) {
            if (!table.writable(r)) continue;
            const ParameterRecord& record = *table.recordOfRow(r);
            table.setValue(r, record.enumeration.empty() ? "1" : record.enumeration.front().text);
            table.beginEdit(r);
        }
        session->set();
    } else if (operation == 3) {
        session->reboot();
    }

    const std::size_t before = host.sent.size();
    if (envelope == 3)
        session->handleDatagram(body);
    else
        session->handleDatagram(spliced(host.sent.back(), code, body, envelope, lengthError));
    const std::size_t next = host.sent.size() > before ? host.sent.size() - 1 : before - (twoDevices ? 2 : 1);
    session->handleDatagram(spliced(host.sent[next], code, body, envelope == 3 ? 0 : envelope, lengthError));
    if (replyWaitRunsOut) session->timerExpired(SessionTimer::ReplyWait);
    return 0;
}
