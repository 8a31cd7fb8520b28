// A ManagementSession over a recording host, the product data of the repository and a scratch
// credential log; devices answer with datagrams built here, independently of the simulator.
#pragma once

#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

#include "core/discovery/management_message.h"
#include "core/manage/credential_log.h"
#include "core/manage/management_session.h"
#include "core/params/parameter_entry.h"
#include "core/params/value_codec.h"
#include "support/scripted_prompter.h"
#include "support/test_paths.h"

namespace tarn::test {

struct SentDatagram {
    Bytes bytes;
    std::string address;  // empty: broadcast
};

class RecordingHost : public ManagementHost {
public:
    std::vector<DeviceEntry> selected;
    std::vector<SentDatagram> sent;
    std::map<SessionTimer, int> running;  // timer -> ms
    std::string monitorAddress;
    int monitorPort = 0;
    std::vector<std::string> progress;
    int definitionChanges = 0;

    std::vector<DeviceEntry> selectedDevices() const override { return selected; }
    bool onLocalSubnet(const std::string&) const override { return true; }
    bool sendDatagram(const Bytes& d, const std::string& address) override {
        sent.push_back({d, address});
        return true;
    }
    void startTimer(SessionTimer t, int ms) override { running[t] = ms; }
    void stopTimer(SessionTimer t) override { running.erase(t); }
    void definitionsChanged() override { ++definitionChanges; }
    void setMonitorAddress(const std::string& a) override { monitorAddress = a; }
    void setMonitorPort(int p) override { monitorPort = p; }
    void showProgress(const std::string& text) override { progress.push_back(text); }
    void lateReply(ByteView) override { ++late; }
    void operationFinished(const OperationOutcomes& o) override { outcomes.push_back(o); }
    void restoreSelection(const std::vector<DeviceEntry>& devices) override { restored = devices; }
    std::vector<DeviceEntry> restored;
    int late = 0;
    std::vector<OperationOutcomes> outcomes;
};

inline DeviceEntry ioDevice(const std::string& name, int n, const std::string& version = "1.1") {
    DeviceEntry e;
    e.name = name;
    e.ip = "127.0.0." + std::to_string(n);
    char mac[18];
    std::snprintf(mac, sizeof mac, "00:50:C2:00:00:%02X", n & 0xFF);
    e.mac = mac;
    e.productId = "74";
    e.version = version;
    return e;
}

class SessionTest : public ::testing::Test {
protected:
    SessionTest()
        : logPath(scratchDir().toStdString() + "/pwd.ini"),
          session(host, prompter,
                  SessionSettings{dataDir().toStdString() + "/", logPath, 100, 3000, nullptr, nullptr,
                                  [this] { return nextRequestId++; }}) {}

    void logCredentials(const DeviceEntry& d, const std::string& id, const std::string& pw) {
        CredentialLog log(logPath);
        log.LoadLog();
        log.AppendEntry();
        log.StoreEntry(d.mac, id, pw, -1);
        ASSERT_TRUE(log.SaveLog());
    }
    // Selects the devices (all logged as admin/admin) and reads them: every get request goes out.
    void selectAndGet(std::vector<DeviceEntry> devices) {
        for (const auto& d : devices) logCredentials(d, "admin", "admin");
        host.selected = std::move(devices);
        session.RequestParameterValues(0);
        while (host.running.count(SessionTimer::NextDevice)) session.timerExpired(SessionTimer::NextDevice);
    }
    const DefinitionSet& set() { return *session.table().definitions(); }
    ByteOrder order() const { return ByteOrder::Big; }  // product 74

    // The reply a device gives to a sent request: its credentials and request id, a code and body.
    Bytes reply(const Bytes& request, CommandCode code, const Bytes& body = {}) {
        const auto head = parseReplyHeader(request, order());
        EXPECT_TRUE(head.has_value());
        RequestAddress a;
        a.id = head->id;
        a.password = head->password;
        auto built = buildRequest(a, code, body, order(), readU16(head->requestId.data(), order()));
        return built->bytes;
    }
    // A whole-device values block: the named values, every other record zero.
    Bytes deviceValues(const std::map<std::string, std::string>& values) {
        Bytes block;
        for (const ParameterRecord& r : set().records) {
            auto it = values.find(r.name);
            auto bytes = it == values.end() ? std::nullopt : EncodeValue(r, it->second, order());
            EXPECT_TRUE(it == values.end() || bytes) << r.name;
            const Bytes value = bytes ? *bytes : Bytes(static_cast<std::size_t>(r.size), 0);
            block.insert(block.end(), value.begin(), value.end());
        }
        Bytes body;
        appendValueEntry(body, "0", block, order());
        return body;
    }
    void answer(std::size_t sentIndex, CommandCode code, const Bytes& body = {}) {
        session.handleDatagram(reply(host.sent.at(sentIndex).bytes, code, body));
    }
    // An edit as the list makes it: the mark, then the text.
    void edit(const std::string& name, const std::string& text) {
        const int r = session.table().findRow(name);
        ASSERT_GE(r, 0) << name;
        session.table().beginEdit(r);
        session.table().setValue(r, text);
    }
    bool marked(const std::string& name) {
        const ParameterTable& t = session.table();
        return t.rowModified(t.findRow(name));
    }
    std::string loggedPassword(const DeviceEntry& d) {
        CredentialLog log(logPath);
        log.LoadLog();
        const int i = log.FindMac(d.mac);
        return i < 0 ? "<none>" : log.entry(i).password;
    }
    std::string value(const std::string& name) {
        const int r = session.table().findRow(name);
        return r < 0 ? "<no row>" : session.table().row(r).value;
    }
    std::vector<PromptRecord> prompts(const std::string& kind) {
        std::vector<PromptRecord> out;
        for (const auto& r : prompter.records())
            if (r.kind == kind) out.push_back(r);
        return out;
    }

    RecordingHost host;
    ScriptedPrompter prompter;
    std::uint16_t nextRequestId = 100;  // the id of the next request the session sends
    std::string logPath;
    ManagementSession session;
};

}  // namespace tarn::test
