// The texts of what a step reported, in order, for comparing with the texts the product shows.
#pragma once

#include <string>
#include <vector>

#include "core/common/report.h"

namespace tarn::test {

inline std::vector<std::string> reportTexts(const StepResult& result) {
    std::vector<std::string> texts;
    for (const Report& r : result.reports) texts.push_back(r.text);
    return texts;
}

}  // namespace tarn::test
