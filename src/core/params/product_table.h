// The product-id table, prodid.ini: maps the product id a device reports ("74") to the product name
// that names its .dcf files. Entries are written as "\n[%d]\nName : %s \n" "ID : %s\n".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/common/labelled_entries.h"
#include "core/common/report.h"

namespace tarn {

constexpr const char* kProductTableFileName = "prodid.ini";
constexpr const char* kOutOfRangeOfDatabase = "Out of range of the database !";
constexpr const char* kFatalErrorCaption = "Fatal Error";
constexpr const char* kInvalidProductId = "Invalid product id!!";

struct ProductEntry {
    std::string name;
    std::string id;
};

class ProductTable {
public:
    // Reads the file. A missing file gives an empty table (and is not created: the data folder
    // is never written). More than 5000 entries, or a token longer than 75 characters, stop the
    // reading there with a report; the entries before stay.
    StepResult LoadProductTable(const std::string& path);
    // The same over text in memory; `source` names the file in the reports.
    StepResult loadFromText(std::string_view text, const std::string& source);

    // Index of the first entry whose id equals the text exactly ("074" is not "74"), or -1.
    int FindProductId(const std::string& productId) const;
    // Makes an index current. An index beyond the table is refused with "Out of range of the
    // database !" ("Fatal Error") and the current index stays.
    StepResult SelectProduct(int index);
    // Name of the current entry (empty when the current index is the free entry after the last).
    std::string currentName() const;

    int count() const { return static_cast<int>(entries_.size()); }
    int currentIndex() const { return current_; }
    const std::vector<ProductEntry>& entries() const { return entries_; }

private:
    std::vector<ProductEntry> entries_;
    int current_ = 0;
};

}  // namespace tarn
