// Finds the parameter definitions of a simulated device the way TARN Manager does: product id text
// ("%02d") -> product name through prodid.ini, then <name>_<major>.<minor>.dcf in the data folder.
// Each file is read and parsed once per run and shared by every device of that product and version.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "core/common/bytes.h"
#include "core/params/definition_set.h"
#include "core/params/definition_store.h"  // deviceConfigurationPath
#include "core/params/product_table.h"

namespace tarnsim {

struct DefinitionLookup {
    std::shared_ptr<const tarn::DefinitionSet> set;  // null when the device has no definitions
    std::string problem;                             // why not, in one line
    tarn::ByteOrder order = tarn::ByteOrder::Big;    // the device byte order of the product
};

class SimDefinitions {
public:
    // `folder` ends with "/" (as the manager's data directory does). Reads prodid.ini at once.
    explicit SimDefinitions(std::string folder);

    DefinitionLookup find(int productId, int major, int minor);

private:
    std::string folder_;
    tarn::ProductTable products_;
    std::string tableProblem_;                        // prodid.ini could not be read as a whole
    std::map<std::string, DefinitionLookup> loaded_;  // by product id text and path
};

}  // namespace tarnsim
