// The duplicate test of discovery: the MAC texts of the devices already listed, looked up without
// regard to letter case in constant time, so that a fleet of thousands is not walked per reply.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>

namespace tarn {

class ListedMacs {
public:
    void clear() { upper_.clear(); }
    void add(std::string_view macText);
    // True when a listed MAC text equals this one, ignoring letter case (as equalsIgnoreCase).
    bool contains(std::string_view macText) const;
    std::size_t size() const { return upper_.size(); }

private:
    std::unordered_set<std::string> upper_;
};

}  // namespace tarn
