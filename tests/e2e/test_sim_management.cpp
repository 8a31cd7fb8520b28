// tarn-sim's management side over real loopback sockets: get, set and reboot requests built by the
// core request builder, answered from the product's .dcf, with credentials and the reply fault knobs.
#include <gtest/gtest.h>
#include <map>
#include <numeric>
#include <signal.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkDatagram>
#include <QProcess>
#include <QUdpSocket>

#include "core/common/file_io.h"
#include "core/discovery/management_message.h"
#include "core/params/dcf_parser.h"
#include "core/params/parameter_entry.h"
#include "core/params/value_codec.h"
#include "support/test_paths.h"
#include "support/wait.h"
#include "tarn-sim/fleet_config.h"
#include "tarn-sim/sim_fleet.h"

using namespace tarn;
using namespace tarn::test;

namespace {

const QString kFleet = sourceDir() + "/tests/e2e/fleets/management.json";
const QString kCliFleet = sourceDir() + "/tests/e2e/fleets/management_cli.json";
const Bytes kWholeDevice = {0x01, 0x00, 0x00, 0x00};
constexpr ByteOrder kBig = ByteOrder::Big;

DefinitionSet loadDcf(const QString& name) {
    DcfParseResult parsed =
        parseDeviceConfiguration(readWholeFile((dataDir() + '/' + name).toStdString(), 1u << 20).text);
    EXPECT_TRUE(parsed.ok) << parsed.error;
    return parsed.set;
}
const ParameterRecord& record(const DefinitionSet& set, const char* id) {
    return set.records.at(std::size_t(FindRecordById(set, id)));
}
// A get request body naming single records.
Bytes getBody(std::initializer_list<const char*> ids) {
    Bytes body;
    for (const char* id : ids) appendValueEntry(body, id, {}, kBig);
    return body;
}
ReplyHeader header(const Bytes& datagram, ByteOrder order = kBig) {
    const auto h = parseReplyHeader(datagram, order);
    EXPECT_TRUE(h);
    return h.value_or(ReplyHeader{});
}
std::vector<ValueEntry> entries(const ReplyHeader& reply, ByteOrder order = kBig) {
    const ValueEntries read = readValueEntries(reply.body, order);
    EXPECT_FALSE(read.overrun);
    return read.entries;
}

// A client socket on 127.0.0.1 that sends requests and keeps every datagram it gets.
struct Client {
    QUdpSocket socket;
    std::vector<Bytes> received;

    Client() {
        EXPECT_TRUE(socket.bind(QHostAddress("127.0.0.1"), 0));
        QObject::connect(&socket, &QUdpSocket::readyRead, [this] {
            while (socket.hasPendingDatagrams()) {
                const QByteArray d = socket.receiveDatagram().data();
                received.emplace_back(d.begin(), d.end());
            }
        });
    }
    RequestIdBytes send(const QString& to, int port, CommandCode command, const Bytes& body, ByteOrder order,
                        std::uint16_t requestId, const std::string& id = "admin", const std::string& password = "admin",
                        std::optional<MacAddress> mac = std::nullopt) {
        const auto built =
            buildRequest({mac.has_value(), mac.value_or(MacAddress{}), id, password}, command, body, order, requestId);
        EXPECT_TRUE(built);
        sendRaw(to, port, built->bytes);
        return built->requestId;
    }
    void sendRaw(const QString& to, int port, const Bytes& bytes) {
        socket.writeDatagram(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()), QHostAddress(to),
                             quint16(port));
    }
    bool waitFor(std::size_t count) {
        return waitUntil([&] { return received.size() >= count; }, 3000);
    }
};

class SimManagementE2E : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        QString error;
        auto config = tarnsim::loadFleet(kFleet, &error);
        ASSERT_TRUE(config) << error.toStdString();
        fleet = new tarnsim::SimFleet(std::move(*config));
        fleet->setDataDir(dataDir());
        ASSERT_TRUE(fleet->start(0, QHostAddress("127.255.255.255"), &error)) << error.toStdString();
    }
    static void TearDownTestSuite() { delete fleet; }
    static std::size_t indexOf(const std::string& name) {
        for (std::size_t i = 0; i < fleet->devices().size(); ++i)
            if (fleet->devices()[i]->config().name == name) return i;
        throw std::runtime_error("no device " + name);
    }
    static const tarnsim::SimDeviceConfig& device(const std::string& name) {
        return fleet->devices()[indexOf(name)]->config();
    }
    RequestIdBytes send(const std::string& name, CommandCode command, const Bytes& body, std::uint16_t requestId,
                        const std::string& id = "admin", const std::string& password = "admin") {
        return client.send(device(name).address, fleet->devicePort(), command, body, kBig, requestId, id, password);
    }

    static inline tarnsim::SimFleet* fleet = nullptr;
    Client client;
};

TEST_F(SimManagementE2E, WholeDeviceGetAnswersOneClassBlockOfTheDevicesOwnValues) {
    const DefinitionSet set = loadDcf("TARN-IO_1.1.dcf");
    const RequestIdBytes sent = send("Mgmt-Plain", CommandCode::GetValues, kWholeDevice, 0x1234);
    ASSERT_TRUE(client.waitFor(1));
    const ReplyHeader reply = header(client.received[0]);
    ASSERT_TRUE(reply.complete);
    EXPECT_EQ(reply.code, 0xA2);
    EXPECT_EQ(reply.requestId, sent);
    EXPECT_EQ(reply.id, "admin");
    EXPECT_EQ(reply.receivedChecksum, reply.computedChecksum);

    const auto got = entries(reply);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, "0");
    const std::size_t total = std::accumulate(set.records.begin(), set.records.end(), std::size_t{0},
                                              [](std::size_t n, const ParameterRecord& r) { return n + r.size; });
    ASSERT_EQ(got[0].value.size(), total);
    std::map<std::string, std::string> texts;  // first record of each name
    for (std::size_t j = 0, at = 0; j < set.records.size(); at += set.records[j++].size)
        texts.emplace(set.records[j].name,
                      FormatValue(set.records[j], *blockValue(set, int(j), got[0].value, at), kBig));
    EXPECT_EQ(texts["Device name"], "Mgmt-Plain");
    EXPECT_EQ(texts["IP address"], "127.0.0.121");
    EXPECT_EQ(texts["IP mode"], "Static");
    EXPECT_EQ(texts["Subnet mask"], "255.0.0.0");
    EXPECT_EQ(texts["Local port"], std::to_string(fleet->ioDevices()[indexOf("Mgmt-Plain")]->port()));
    EXPECT_EQ(texts["MAC address"], "02-00-00-00-01-21");
    EXPECT_EQ(texts["User ID"], "admin");
    EXPECT_EQ(texts["Location"], "Roof");      // set by name in the fleet file
    EXPECT_EQ(texts["Max connections"], "3");  // set by id
    // Numbers a real device has, made from its MAC address 02:00:00:00:01:21 (0x000121 = 289):
    // never the zeros that made the demo look empty.
    EXPECT_EQ(texts["Serial number"], "10000289");
    const unsigned long upTime = std::stoul(texts["Up time"]);  // 10 days and 37 x 289 s, counting on
    EXPECT_GE(upTime, 874693u);
    EXPECT_LT(upTime, 874693u + 120);
    EXPECT_EQ(texts["Scale factor"], "1.000000");
    EXPECT_EQ(texts["Gateway"], "127.0.0.1");
}

TEST_F(SimManagementE2E, DbFormDeviceAnswersOnlyItsOwnMacAndAnUnknownProductOnlyTheProbe) {
    const auto& db = device("Mgmt-DB");
    MacAddress other = db.mac;
    other[5] ^= 0x01;
    const int port = fleet->devicePort();
    client.send(db.address, port, CommandCode::GetValues, getBody({"1.1.1"}), kBig, 700, "op", "secret", other);
    const RequestIdBytes mine =
        client.send(db.address, port, CommandCode::GetValues, getBody({"1.1.1"}), kBig, 701, "op", "secret", db.mac);
    // Loopback keeps the order: a reply to the other MAC's request would have come first.
    ASSERT_TRUE(client.waitFor(1));
    const ReplyHeader reply = header(client.received[0]);
    EXPECT_TRUE(reply.macForm);
    EXPECT_EQ(reply.requestId, mine);
    EXPECT_TRUE(std::equal(db.mac.begin(), db.mac.end(), client.received[0].begin() + 4));
    const auto got = entries(reply);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_STREQ(asText(got[0].value).c_str(), "Mgmt-DB");

    client.received.clear();
    send("Stranger", CommandCode::GetValues, kWholeDevice, 702);
    client.sendRaw(device("Stranger").address, port, discoveryProbe());
    ASSERT_TRUE(client.waitFor(1));
    const Bytes& first = client.received[0];  // the probe reply: MAC, then product id 77
    ASSERT_GT(first.size(), 10u);
    EXPECT_TRUE(std::equal(device("Stranger").mac.begin(), device("Stranger").mac.end(), first.begin() + 4));
    EXPECT_EQ(first[10], 77);
    ASSERT_EQ(fleet->warnings().size(), 1);
    EXPECT_TRUE(fleet->warnings()[0].contains("Stranger")) << fleet->warnings()[0].toStdString();
}

TEST_F(SimManagementE2E, SetStoresKnownWritableRightSizedValuesAGroupGetReadsThemAndRebootAnswers) {
    const DefinitionSet set = loadDcf("TARN-IO_1.0.dcf");
    Bytes body;
    ASSERT_TRUE(appendParameterEntry(body, record(set, "1.1.1"), "Renamed", kBig));
    ASSERT_TRUE(appendParameterEntry(body, record(set, "3.1.5"), "8080", kBig));
    ASSERT_TRUE(appendParameterEntry(body, record(set, "1.1.4"), "77", kBig));  // read-only
    appendValueEntry(body, "3.1.6", Bytes{5}, kBig);                            // one byte short
    appendValueEntry(body, "9.9.9", Bytes{1, 2}, kBig);                         // unknown
    send("Mgmt-Set", CommandCode::SetValues, body, 900);
    ASSERT_TRUE(client.waitFor(1));
    EXPECT_EQ(header(client.received[0]).code, 0xB2);
    EXPECT_EQ(header(client.received[0]).length, 5);

    send("Mgmt-Set", CommandCode::GetValues, getBody({"1.1.1", "9.9.9", "3.1.5", "1.1.4", "3.1.6"}), 901);
    ASSERT_TRUE(client.waitFor(2));
    const ReplyHeader reply = header(client.received[1]);
    ASSERT_EQ(reply.code, 0xA2);
    const auto got = entries(reply);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].id, "1.1.1");
    EXPECT_EQ(FormatValue(record(set, "1.1.1"), got[0].value, kBig), "Renamed");
    EXPECT_EQ(got[1].id, "3.1.5");
    EXPECT_EQ(FormatValue(record(set, "3.1.5"), got[1].value, kBig), "8080");
    EXPECT_EQ(FormatValue(record(set, "1.1.4"), got[2].value, kBig), "10000291");  // read-only: kept
    EXPECT_EQ(Bytes(got[3].value.begin(), got[3].value.end()), (Bytes{0, 0}));

    send("Mgmt-Set", CommandCode::Reboot, {0, 0, 0}, 902);
    ASSERT_TRUE(client.waitFor(3));
    const ReplyHeader done = header(client.received[2]);
    EXPECT_EQ(done.code, 0xFF);
    EXPECT_EQ(Bytes(done.body.begin(), done.body.end()), (Bytes{0, 0, 0}));
    EXPECT_EQ(fleet->devices()[indexOf("Mgmt-Set")]->management()->reboots(), 1);

    // A rebooted device has been up for a moment only.
    send("Mgmt-Set", CommandCode::GetValues, getBody({"1.1.6"}), 903);
    ASSERT_TRUE(client.waitFor(4));
    const auto upTime = entries(header(client.received[3]));
    ASSERT_EQ(upTime.size(), 1u);
    EXPECT_LT(std::stoul(FormatValue(record(set, "1.1.6"), upTime[0].value, kBig)), 60u);
}

TEST_F(SimManagementE2E, WrongCredentialsGetAuthFailedAndNewOnesCountOnceTheSetReplyHasLeft) {
    send("Mgmt-Late", CommandCode::GetValues, kWholeDevice, 1000, "admin", "wrong");
    ASSERT_TRUE(client.waitFor(1));
    EXPECT_EQ(header(client.received[0]).code, 0xC0);
    EXPECT_EQ(header(client.received[0]).password, "wrong");
    EXPECT_EQ(header(client.received[0]).length, 5);
    client.received.clear();

    // The device answers 400 ms late, so the get below is answered before the set's reply has left.
    Bytes body;
    ASSERT_TRUE(appendParameterEntry(body, record(loadDcf("TARN-IO_1.1.dcf"), "2.1.1"), "boss", kBig));
    QElapsedTimer clock;
    clock.start();
    send("Mgmt-Late", CommandCode::SetValues, body, 1100);
    send("Mgmt-Late", CommandCode::GetValues, getBody({"2.1.1"}), 1101);
    ASSERT_TRUE(client.waitFor(2));
    EXPECT_GE(clock.elapsed(), 350);
    EXPECT_EQ(header(client.received[0]).code, 0xB2);
    const ReplyHeader got = header(client.received[1]);
    ASSERT_EQ(got.code, 0xA2);
    EXPECT_STREQ(asText(entries(got).at(0).value).c_str(), "boss");

    send("Mgmt-Late", CommandCode::GetValues, getBody({"2.1.1"}), 1102);
    send("Mgmt-Late", CommandCode::GetValues, getBody({"2.1.1"}), 1103, "boss", "admin");
    ASSERT_TRUE(client.waitFor(4));
    EXPECT_EQ(header(client.received[2]).code, 0xC0);
    EXPECT_EQ(header(client.received[3]).code, 0xA2);
}

TEST_F(SimManagementE2E, FaultKnobsStaleIdLengthOverrunBadChecksumAndDuplicates) {
    const RequestIdBytes first = send("Mgmt-Stale", CommandCode::GetValues, getBody({"1.1.1"}), 1200);
    ASSERT_TRUE(client.waitFor(1));
    const RequestIdBytes second = send("Mgmt-Stale", CommandCode::GetValues, getBody({"1.1.1"}), 1201);
    ASSERT_TRUE(client.waitFor(3));
    EXPECT_EQ(header(client.received[0]).requestId, first);
    EXPECT_EQ(header(client.received[1]).requestId, first);  // the stale one, a whole values reply
    EXPECT_EQ(header(client.received[1]).code, 0xA2);
    EXPECT_EQ(header(client.received[2]).requestId, second);

    client.received.clear();
    send("Mgmt-Broken", CommandCode::GetValues, kWholeDevice, 1300);
    send("Mgmt-Broken", CommandCode::Reboot, {0, 0, 0}, 1301);
    ASSERT_TRUE(client.waitFor(4));
    for (std::size_t i = 0; i < 4; ++i) {
        const ReplyHeader reply = header(client.received[i]);
        EXPECT_EQ(reply.code, i < 2 ? 0xA2 : 0xFF) << i;
        if (i < 2) {
            EXPECT_FALSE(reply.complete);  // the length reaches past the datagram's end
            EXPECT_GT(std::size_t(reply.length), reply.body.size() + 5);
        } else {
            ASSERT_TRUE(reply.complete);
            EXPECT_NE(reply.receivedChecksum, reply.computedChecksum);
        }
    }
}

TEST(SimManagementFleet, AParameterValueThatDoesNotEncodeIsAFleetErrorNamingDeviceAndParameter) {
    QString error;
    auto config = tarnsim::parseFleet(R"({"devices": [{"name": "Odd-One", "mac": "02:00:00:00:01:41",
        "version": "1.1", "address": "127.0.0.141", "params": {"IP mode": "Sometimes"}}]})",
                                      &error);
    ASSERT_TRUE(config) << error.toStdString();
    tarnsim::SimFleet fleet(std::move(*config));
    fleet.setDataDir(dataDir());
    EXPECT_FALSE(fleet.start(0, QHostAddress("127.255.255.255"), &error));
    EXPECT_TRUE(error.contains("Odd-One") && error.contains("IP mode")) << error.toStdString();
}

// A fleet file of at most 16 MiB is read; one byte more, or a file without end, is refused before it
// is read whole, by the program too (exit status 2, the reason on standard error).
TEST(SimManagementFleet, AFleetFileOverSixteenMiBIsRefusedBeforeItIsReadWhole) {
    const QString path = scratchDir() + "/large-fleet.json";
    QByteArray json = R"({"devices": [{"name": "Big", "mac": "02:00:00:00:01:51", "address": "127.0.0.151"}]})";
    json += QByteArray(16 * 1024 * 1024 - json.size(), ' ');
    const auto write = [&path](const QByteArray& text) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
    };
    ASSERT_TRUE(write(json));
    QString error;
    const auto fleet = tarnsim::loadFleet(path, &error);
    ASSERT_TRUE(fleet) << error.toStdString();
    EXPECT_EQ(fleet->devices.size(), 1u);

    const QString refusal =
        ": the fleet file is larger than 16 MiB; a larger fleet takes \"count\" entries (see "
        "\"Large fleets\" in simulator.md)";
    ASSERT_TRUE(write(json + ' '));
    EXPECT_FALSE(tarnsim::loadFleet(path, &error));
    EXPECT_EQ(error, path + refusal);
    EXPECT_FALSE(tarnsim::loadFleet("/dev/zero", &error));
    EXPECT_EQ(error, "/dev/zero" + refusal);

    QProcess sim;
    sim.start(simPath(), {"--fleet", path, "--device-port", "0"});
    ASSERT_TRUE(sim.waitForFinished(10000));
    EXPECT_EQ(sim.exitCode(), 2);
    EXPECT_EQ(QString::fromUtf8(sim.readAllStandardError()), "tarn-sim: " + path + refusal + "\n");
}

// The simulator as a program. Reads its lines up to "ready port N".
struct SimLines {
    QStringList lines;
    int port = 0;
    bool waitReady(QProcess& p) {
        for (QDeadlineTimer deadline(10000); !deadline.hasExpired();) {
            while (p.canReadLine()) {
                lines << QString::fromUtf8(p.readLine()).trimmed();
                if (lines.back().startsWith("ready port ")) return (port = lines.back().mid(11).toInt()) > 0;
            }
            if (!p.waitForReadyRead(100) && p.state() == QProcess::NotRunning) return false;
        }
        return false;
    }
    QString value(const QString& prefix) const {
        for (const QString& l : lines)
            if (l.startsWith(prefix + ' ')) return l.split(' ').value(1);
        return {};
    }
};

TEST(SimProgram, ReadsItsDataDirAnswersALittleEndianProductAndEndsCleanlyOnSigterm) {
    // The data folder gets one more product, number 12, which talks little-endian.
    const QString dir = scratchDir();
    for (const QString& name : QDir(dataDir()).entryList({"*.dcf", "prodid.ini"}, QDir::Files))
        ASSERT_TRUE(QFile::copy(dataDir() + '/' + name, dir + '/' + name));
    ASSERT_TRUE(QFile::copy(dataDir() + "/TARN-IO_1.1.dcf", dir + "/TARN-LE_1.1.dcf"));
    QFile table(dir + "/prodid.ini");
    ASSERT_TRUE(table.open(QIODevice::Append));
    table.write("\n[4]\nName : TARN-LE \nID : 12\n");
    table.close();

    QProcess sim;
    SimLines out;
    sim.start(simPath(), {"--fleet", kCliFleet, "--device-port", "0", "--data-dir", dir});
    ASSERT_TRUE(out.waitReady(sim)) << out.lines.join('\n').toStdString() << sim.readAllStandardError().toStdString();
    Client client;
    const RequestIdBytes sent =
        client.send("127.0.0.131", out.port, CommandCode::GetValues, getBody({"3.1.2"}), ByteOrder::Little, 0x1234);
    ASSERT_EQ(sent, (RequestIdBytes{0x34, 0x12}));
    ASSERT_TRUE(client.waitFor(1));
    const ReplyHeader reply = header(client.received[0], ByteOrder::Little);
    ASSERT_TRUE(reply.complete);
    EXPECT_EQ(reply.requestId, sent);
    EXPECT_EQ(reply.receivedChecksum, reply.computedChecksum);
    const auto got = entries(reply, ByteOrder::Little);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(Bytes(got[0].value.begin(), got[0].value.end()), (Bytes{131, 0, 0, 127}));

    ASSERT_TRUE(QFile::exists(out.value("pty")));
    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
}

TEST(SimProgram, EndsWhenTheProgramThatStartedItIsKilled) {
    QProcess shell;
    SimLines out;
    shell.start("/bin/sh", {"-c", "\"$0\" --fleet \"$1\" --device-port 0 --data-dir \"$2\" & echo pid $!; wait",
                            simPath(), kCliFleet, dataDir()});
    ASSERT_TRUE(out.waitReady(shell)) << out.lines.join('\n').toStdString();
    const pid_t simPid = out.value("pid").toInt();
    ASSERT_GT(simPid, 0);
    auto running = [simPid] {  // a zombie has ended too
        QFile stat(QStringLiteral("/proc/%1/stat").arg(simPid));
        if (!stat.open(QIODevice::ReadOnly)) return false;
        const QByteArray text = stat.readAll();
        const auto close = text.lastIndexOf(')');
        return close > 0 && text.size() > close + 2 && text[close + 2] != 'Z';
    };
    ASSERT_TRUE(running());
    shell.kill();
    shell.waitForFinished(3000);
    const bool ended = waitUntil([&] { return !running(); }, 5000);
    if (!ended) ::kill(simPid, SIGKILL);
    EXPECT_TRUE(ended);
}

}  // namespace
