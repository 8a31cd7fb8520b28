#include "tarnctl/json_output.h"

#include <cmath>

#include <QJsonDocument>
#include <QTextStream>

#include "core/fleet/fleet_index.h"
#include "core/params/parameter_table.h"
#include "core/params/value_codec.h"
#include "link/common/qt_bytes.h"

namespace tarnctl {

using tarn::latin1;

QJsonObject jsonDocument(const QJsonObject& keys) {
    QJsonObject document = keys;
    document.insert(QStringLiteral("schema"), tarn::kJsonSchema);
    return document;
}

QJsonObject deviceJson(const tarn::DeviceEntry& d, const tarn::ProductNames& productName) {
    return {{"address", latin1(d.ip)},
            {"mac", latin1(d.mac)},
            {"name", latin1(d.name)},
            {"product", latin1(tarn::productText(d, productName))},
            {"productId", d.productId.empty() ? QJsonValue() : numberOrText(d.productId)},
            {"version", latin1(d.version)}};
}

QJsonValue numberOrText(const std::string& text) {
    QString shown = latin1(text);
    while (shown.endsWith(' ')) shown.chop(1);
    bool isInteger = false;
    const qlonglong integer = shown.toLongLong(&isInteger);
    if (isInteger && !shown.startsWith('+') && !shown.startsWith(' ')) return integer;
    bool isNumber = false;
    const double number = shown.toDouble(&isNumber);
    if (isNumber && std::isfinite(number) && !shown.startsWith(' ')) return number;
    return shown;
}

QJsonObject parameterJson(const tarn::ParameterTable& table, int row, const std::string& shownValue) {
    const tarn::ParameterRow& r = table.row(row);
    const tarn::ParameterRecord* record = table.recordOfRow(row);
    QJsonObject json{
        {"index", row}, {"id", latin1(record->id)}, {"class", latin1(r.classText)}, {"name", latin1(r.name)}};
    std::string value = shownValue;
    if (!record->unit.empty()) {
        const std::string suffix = "  " + record->unit;
        if (value.size() >= suffix.size() && value.compare(value.size() - suffix.size(), suffix.size(), suffix) == 0)
            value.resize(value.size() - suffix.size());
        json.insert("unit", latin1(record->unit));
    }
    // Only a row of a number type holds a number: a text that reads as one stays text.
    switch (tarn::valueTypeOf(record->type)) {
        case tarn::ValueType::Char:
        case tarn::ValueType::UnsignedChar:
        case tarn::ValueType::Int:
        case tarn::ValueType::UnsignedInt:
        case tarn::ValueType::Long:
        case tarn::ValueType::UnsignedLong:
        case tarn::ValueType::Float:
            json.insert("value", numberOrText(value));
            break;
        default:
            json.insert("value", latin1(value));
    }
    return json;
}

void printJson(const QJsonObject& document) {
    QTextStream(stdout) << QJsonDocument(document).toJson(QJsonDocument::Indented);
}

}  // namespace tarnctl
