#include "core/discovery/listed_macs.h"

#include "core/common/text.h"

namespace tarn {

void ListedMacs::add(std::string_view macText) { upper_.insert(toUpperAscii(std::string(macText))); }

bool ListedMacs::contains(std::string_view macText) const {
    return upper_.count(toUpperAscii(std::string(macText))) > 0;
}

}  // namespace tarn
