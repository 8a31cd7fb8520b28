// tarnctl's JSON (docs/json.md): one shape across probe, params, fleet and io, written with
// QJsonDocument. A device has the keys and values of fleet.json (tarn::deviceJson); numbers are
// numbers and a unit has a key of its own. Every document is an object with "schema"
// (tarn::kJsonSchema); the lines of `io watch --json` are samples of one stream.
#pragma once

#include <string>

#include <QJsonObject>
#include <QJsonValue>

#include "core/discovery/device_entry.h"
#include "core/fleet/fleet_selection.h"
#include "link/common/device_json.h"

namespace tarn {
class ParameterTable;
}

namespace tarnctl {

using tarn::deviceJson;

// "schema" first, then the document's own keys.
QJsonObject jsonDocument(const QJsonObject& keys);
// A row of the parameter list: index, id, class, name, value (a number where the row holds one), and
// unit when the row has one.
QJsonObject parameterJson(const tarn::ParameterTable& table, int row, const std::string& shownValue);
// A number when the text is one ("0512" -> 512); else the text, its trailing blanks dropped.
QJsonValue numberOrText(const std::string& text);
// Indented, to standard output.
void printJson(const QJsonObject& document);

}  // namespace tarnctl
