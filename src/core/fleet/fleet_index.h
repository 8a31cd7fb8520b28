// The files of a fleet backup: one .CNF per device, named after its MAC, and fleet.json, the index
// of what happened to every selected device. Also the one line per device that tarnctl prints.
//
//   {"schema": 2, "devices": [
//     {"mac": "00:11:22:33:44:61", "name": "Pump 1", "address": "127.0.0.11", "product": "TARN-IO",
//      "productId": 74, "version": "1.1", "status": "ok", "file": "00-11-22-33-44-61.CNF", "message": ""},
//     ...]}
//
// Schema 2 added "schema" and "productId" to the index of schema 1 (no "schema" key); every key of
// schema 1 stays, so that readers of the older files read these too. tarnctl's JSON describes a device
// with the same keys and values (deviceJsonFields, docs/json.md).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/fleet/fleet_selection.h"
#include "core/manage/device_outcome.h"

namespace tarn {

constexpr const char* kFleetIndexFileName = "fleet.json";
// The version of the index's shape, and of tarnctl's JSON.
constexpr int kJsonSchema = 2;

// "00-11-22-33-44-61.CNF": the MAC in upper case, its pairs joined by '-'.
std::string backupFileName(const std::string& mac);

// The product of a device as the index names it: the prodid.ini name, else its product id.
std::string productText(const DeviceEntry& device, const ProductNames& productName);

// One key of a device in every JSON document, fleet.json and tarnctl's: the keys, and the rules that
// turn a device's texts into values, are written here only.
struct DeviceJsonField {
    enum class Kind { Text, Number, Null };
    const char* key;
    Kind kind;
    std::string text;  // Text: Latin-1 bytes
    long long number;  // Number
};
// mac (upper case), name, address, product (productText), productId, version. The product id is a
// number when its text is one written plainly ("74"; not "074" or "74 ", which stay text, so that
// the value gives the id back), null when the device has none (asked for by MAC, never answered).
std::vector<DeviceJsonField> deviceJsonFields(const DeviceEntry& device, const ProductNames& productName);

// The index text (UTF-8; names and messages are read as Latin-1 bytes). It is written here, beside
// the job that writes it, where no Qt is at hand.
std::string formatFleetIndex(const OperationOutcomes& outcomes, const ProductNames& productName);
// Writes the index completely or not at all (temporary file, then rename).
bool writeFleetIndex(const std::string& path, const OperationOutcomes& outcomes, const ProductNames& productName,
                     std::string* error = nullptr);

// "00:11:22:33:44:61  127.0.0.11       Pump 1            ok              00-11-22-33-44-61.CNF": MAC,
// address, name, status, then the file and the message.
std::string outcomeLine(const DeviceOutcome& outcome);

// Every device ok, or skipped as not concerned.
bool allSucceeded(const OperationOutcomes& outcomes);

// Makes a backup's folder ready: made when missing, with every missing folder above it, readable by
// its owner only (the backups hold each device's own user ID and password); a folder that exists must
// be writable. A backup never goes into a folder that holds an earlier one (its fleet.json or .CNF
// files): the two runs would mix, and the older index would speak for files it did not list.
// The message that refuses the folder, or nothing.
std::optional<std::string> prepareBackupFolder(const std::string& folder);

}  // namespace tarn
