#include "tarn-sim/mgmt/sim_definitions.h"

#include <cstdio>

#include "core/common/bytes.h"
#include "core/common/file_io.h"
#include "core/params/dcf_parser.h"

namespace tarnsim {

namespace {

constexpr std::size_t kMaxProductTableSize = 16u << 20;

std::string twoDigits(int number) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", number);
    return text;
}

}  // namespace

SimDefinitions::SimDefinitions(std::string folder) : folder_(std::move(folder)) {
    // Read without LoadProductTable: a simulator must not create files in the data folder.
    const std::string path = folder_ + tarn::kProductTableFileName;
    const tarn::FileContent file = tarn::readWholeFile(path, kMaxProductTableSize);
    if (file.status != tarn::ReadStatus::Ok) {
        tableProblem_ = path + " cannot be read";
        return;
    }
    products_.loadFromText(file.text, path);
}

DefinitionLookup SimDefinitions::find(int productId, int major, int minor) {
    if (!tableProblem_.empty()) return {nullptr, tableProblem_};
    const std::string idText = twoDigits(productId);
    const int index = products_.FindProductId(idText);
    if (index < 0) return {nullptr, "product id " + idText + " is not in " + tarn::kProductTableFileName};
    const std::string name = products_.entries()[static_cast<std::size_t>(index)].name;
    const std::string path =
        tarn::deviceConfigurationPath(folder_, name, std::to_string(major) + "." + std::to_string(minor));
    const std::string key = idText + " " + path;  // the product number decides the byte order
    if (auto known = loaded_.find(key); known != loaded_.end()) return known->second;

    DefinitionLookup result;
    const tarn::FileContent file = tarn::readWholeFile(path, tarn::kMaxDcfFileSize);
    if (file.status != tarn::ReadStatus::Ok) {
        result.problem = path + (file.status == tarn::ReadStatus::Missing ? " is missing" : " cannot be read");
    } else if (tarn::DcfParseResult parsed = tarn::parseDeviceConfiguration(file.text); !parsed.ok) {
        result.problem = path + ", " + parsed.error;
    } else {
        parsed.set.productNumber = tarn::productNumberFromId(idText);
        parsed.set.major = major;
        parsed.set.minor = minor;
        result.set = std::make_shared<const tarn::DefinitionSet>(std::move(parsed.set));
        result.order = tarn::byteOrderForProduct(result.set->productNumber);
    }
    loaded_.emplace(key, result);
    return result;
}

}  // namespace tarnsim
