#include "core/params/product_table.h"

#include "core/common/file_io.h"

namespace tarn {

namespace {
constexpr std::size_t kMaxTableFileSize = 16u << 20;
}

StepResult ProductTable::LoadProductTable(const std::string& path) {
    entries_.clear();
    current_ = 0;
    const FileContent file = readWholeFile(path, kMaxTableFileSize);
    // A missing table is an empty one; the data folder is never written.
    if (file.status == ReadStatus::Missing) return {};
    if (file.status == ReadStatus::TooLarge)
        return StepResult::failure("Error", path + " is too large to be a product-id table; it is not used.",
                                   MessageIcon::Critical);
    if (file.status != ReadStatus::Ok) return {};
    return loadFromText(file.text, path);
}

StepResult ProductTable::loadFromText(std::string_view text, const std::string& source) {
    entries_.clear();
    current_ = 0;
    const LabelledEntries read = readLabelledEntries(text, {"Name", "ID"});
    for (const auto& tokens : read.entries) entries_.push_back(ProductEntry{tokens[0], tokens[1]});
    current_ = count();
    StepResult result;
    if (read.stop == TableStop::TooManyEntries) {
        result.report("Error",
                      source + " holds more than " + std::to_string(kMaxTableEntries) +
                          " entries; the entries from line " + std::to_string(read.stopLine) + " on are ignored.",
                      MessageIcon::Warning);
    } else if (read.stop == TableStop::TokenTooLong) {
        result.report("Error",
                      source + ", entry at line " + std::to_string(read.stopLine) +
                          ": a name or product id is longer than " + std::to_string(kMaxTableTokenLength) +
                          " characters; the entries from there on are ignored.",
                      MessageIcon::Warning);
    }
    return result;
}

int ProductTable::FindProductId(const std::string& productId) const {
    for (int i = 0; i < count(); ++i) {
        if (entries_[static_cast<std::size_t>(i)].id == productId) return i;
    }
    return -1;
}

StepResult ProductTable::SelectProduct(int index) {
    if (index < 0 || (index != 0 && index > count()) || index >= kMaxTableEntries)
        return StepResult::failure(kFatalErrorCaption, kOutOfRangeOfDatabase, MessageIcon::Critical);
    current_ = index;
    return {};
}

std::string ProductTable::currentName() const {
    return current_ >= 0 && current_ < count() ? entries_[static_cast<std::size_t>(current_)].name : std::string();
}

}  // namespace tarn
