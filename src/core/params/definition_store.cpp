#include "core/params/definition_store.h"

#include "core/common/file_io.h"
#include "core/params/dcf_parser.h"

namespace tarn {

namespace {

constexpr const char* kMissingFileText = "Can't find configuration file! \n";
constexpr const char* kRefusedFileText = "Can't use configuration file! \n";

bool inBounds(int productNumber, int major, int minor) {
    return productNumber >= 0 && productNumber < kProductNumberLimit && major >= 0 && major < kMajorVersionLimit &&
           minor >= 0 && minor < kMinorVersionLimit;
}

std::size_t mapIndex(int productNumber, int major, int minor) {
    return (static_cast<std::size_t>(productNumber) * kMajorVersionLimit + static_cast<std::size_t>(major)) *
               kMinorVersionLimit +
           static_cast<std::size_t>(minor);
}

}  // namespace

std::string deviceConfigurationPath(const std::string& folder, const std::string& productName,
                                    const std::string& version) {
    return folder + productName + "_" + version + ".dcf";
}

DefinitionStore::DefinitionStore() = default;

int DefinitionStore::setIndexFor(int productNumber, int major, int minor) const {
    if (!inBounds(productNumber, major, minor)) return -1;
    const std::size_t key = mapIndex(productNumber, major, minor);
    for (std::size_t i = 0; i < keys_.size(); ++i)
        if (keys_[i] == key) return static_cast<int>(i);
    return -1;
}

StepResult DcfLoadResult::reports() const {
    return loaded ? StepResult{} : StepResult::failure(kErrorCaption, message, MessageIcon::Critical);
}

DcfLoadResult DefinitionStore::refuse(const std::string& path, const std::string& reason) {
    current_ = -1;
    DcfLoadResult result;
    result.message = kRefusedFileText + path + "\n" + reason;
    return result;
}

DcfLoadResult DefinitionStore::LoadDeviceConfiguration(const std::string& path, int productNumber, int major,
                                                       int minor) {
    const FileContent file = readWholeFile(path, kMaxDcfFileSize);
    if (file.status == ReadStatus::TooLarge)
        return refuse(path, "the file is larger than " + std::to_string(kMaxDcfFileSize >> 20) + " MB");
    if (file.status != ReadStatus::Ok) {
        current_ = -1;
        DcfLoadResult result;
        result.message = kMissingFileText + path;
        return result;
    }
    return loadFromText(path, file.text, productNumber, major, minor);
}

DcfLoadResult DefinitionStore::loadFromText(const std::string& path, std::string_view text, int productNumber,
                                            int major, int minor) {
    if (productNumber < 0 || productNumber >= kProductNumberLimit)
        return refuse(path, "product number " + std::to_string(productNumber) + " is out of range (0 to 99)");
    if (major < 0 || major >= kMajorVersionLimit)
        return refuse(path, "major version " + std::to_string(major) + " is out of range (0 to 19)");
    if (minor < 0 || minor >= kMinorVersionLimit)
        return refuse(path, "minor version " + std::to_string(minor) + " is out of range (0 to 29)");
    int slot = setIndexFor(productNumber, major, minor);
    if (slot >= 0 && sources_[static_cast<std::size_t>(slot)] == text) {
        // The same file as last time for this product and version: the same set, read again.
        sets_[static_cast<std::size_t>(slot)].selectedGroup = 0;
        current_ = slot;
        DcfLoadResult result;
        result.loaded = true;
        result.setIndex = slot;
        return result;
    }
    if (slot < 0 && setCount() >= kMaxDefinitionSets)
        return refuse(path, "no room for another device configuration in this run (at most " +
                                std::to_string(kMaxDefinitionSets) + ")");

    DcfParseResult parsed = parseDeviceConfiguration(text);
    if (!parsed.ok) return refuse(path, parsed.error);

    parsed.set.productNumber = productNumber;
    parsed.set.major = major;
    parsed.set.minor = minor;
    parsed.set.selectedGroup = 0;
    if (slot < 0) {
        slot = setCount();
        sets_.push_back(std::move(parsed.set));
        sources_.emplace_back(text);
        keys_.push_back(mapIndex(productNumber, major, minor));
    } else {
        sets_[static_cast<std::size_t>(slot)] = std::move(parsed.set);
        sources_[static_cast<std::size_t>(slot)] = std::string(text);
    }
    current_ = slot;
    DcfLoadResult result;
    result.loaded = true;
    result.setIndex = slot;
    return result;
}

int DefinitionStore::FindRecordById(const std::string& id) const {
    const DefinitionSet* s = current();
    return s ? tarn::FindRecordById(*s, id) : -1;
}

std::pair<int, int> DefinitionStore::FindClassRange(const std::string& blockId) const {
    const DefinitionSet* s = current();
    return s ? tarn::FindClassRange(*s, blockId) : std::pair<int, int>{-1, -1};
}

}  // namespace tarn
