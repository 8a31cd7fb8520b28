#include "link/common/device_json.h"

#include "core/fleet/fleet_index.h"
#include "link/common/qt_bytes.h"

namespace tarn {

QJsonObject deviceJson(const DeviceEntry& device, const ProductNames& productName) {
    QJsonObject json;
    for (const DeviceJsonField& field : deviceJsonFields(device, productName)) {
        switch (field.kind) {
            case DeviceJsonField::Kind::Text:
                json.insert(QLatin1String(field.key), latin1(field.text));
                break;
            case DeviceJsonField::Kind::Number:
                json.insert(QLatin1String(field.key), static_cast<qint64>(field.number));
                break;
            case DeviceJsonField::Kind::Null:
                json.insert(QLatin1String(field.key), QJsonValue());
                break;
        }
    }
    return json;
}

}  // namespace tarn
