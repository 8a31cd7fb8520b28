// fleet.json and tarnctl's JSON describe a device with the same keys and values, however malformed
// the device's texts are.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "core/fleet/fleet_index.h"
#include "link/common/device_json.h"

namespace tarn::test {
namespace {

DeviceEntry device(std::string mac, std::string productId, std::string name = "Pump") {
    DeviceEntry d;
    d.mac = std::move(mac);
    d.productId = std::move(productId);
    d.name = std::move(name);
    d.ip = "127.0.0.11";
    d.version = "1.1";
    return d;
}

TEST(DeviceJson, FleetIndexAndTarnctlAgreeOnEveryDevice) {
    const ProductNames names = [](const std::string& id) {
        return id == "74" ? std::string("TARN-IO") : std::string();
    };
    const std::vector<DeviceEntry> devices{
        device("02:00:00:00:23:01", "74"),
        device("0a:bc:de:f0:00:01", "74 "),
        device("02-00-00-00-23-03", "074"),
        device("02:00:00:00:23:04", ""),
        device("02:00:00:00:23:05", "7a"),
        device("02:00:00:00:23:06", "1234567890"),
        device("02:00:00:00:23:07", "0"),
        device("02:00:00:00:23:08", "75", std::string("a\"\\\x01\xe9\x7f", 6)),
        device("", "-7"),
    };
    OperationOutcomes outcomes;
    for (const DeviceEntry& d : devices) outcomes.push_back({d, "Back up", OutcomeStatus::Ok, "", ""});
    QJsonParseError error;
    const QJsonDocument index =
        QJsonDocument::fromJson(QByteArray::fromStdString(formatFleetIndex(outcomes, names)), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const QJsonArray listed = index.object().value("devices").toArray();
    ASSERT_EQ(listed.size(), static_cast<qsizetype>(devices.size()));
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const QJsonObject tarnctl = deviceJson(devices[i], names);
        const QJsonObject fleet = listed.at(static_cast<qsizetype>(i)).toObject();
        EXPECT_EQ(tarnctl.size(), 6);
        for (auto it = tarnctl.begin(); it != tarnctl.end(); ++it)
            EXPECT_EQ(fleet.value(it.key()), it.value()) << "device " << i << " key " << it.key().toStdString();
    }
    // The values themselves: a product id that is not plainly a number stays the device's text.
    const auto value = [&](std::size_t i, const char* key) { return deviceJson(devices[i], names).value(key); };
    EXPECT_EQ(value(0, "productId"), QJsonValue(74));
    EXPECT_EQ(value(0, "product"), QJsonValue("TARN-IO"));
    EXPECT_EQ(value(1, "productId"), QJsonValue("74 "));
    EXPECT_EQ(value(1, "mac"), QJsonValue("0A:BC:DE:F0:00:01"));
    EXPECT_EQ(value(2, "productId"), QJsonValue("074"));
    EXPECT_TRUE(value(3, "productId").isNull());
    EXPECT_EQ(value(5, "productId"), QJsonValue("1234567890"));
    EXPECT_EQ(value(6, "productId"), QJsonValue(0));
    EXPECT_EQ(value(7, "name"), QJsonValue(QString::fromUtf8("a\"\\\x01\xc3\xa9\x7f")));
    EXPECT_EQ(value(8, "productId"), QJsonValue("-7"));
}

}  // namespace
}  // namespace tarn::test
