// What a step has to tell the operator, as a value: parsers, loaders and the commands over files
// return it, and only their callers (the management session, the window, tarnctl) decide how to
// show it. Texts are 8-bit (Latin-1) strings, exactly as the product shows them.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tarn {

enum class MessageIcon { None, Information, Warning, Critical, Question };

// The caption of the management side's error reports.
inline constexpr const char* kErrorCaption = "Error";

// One message for the operator: a box with an OK button in the window, a line in tarnctl.
struct Report {
    std::string caption;
    std::string text;
    MessageIcon icon = MessageIcon::None;
};

// Whether a step did what was asked, and what it reports, in order. A step may succeed and still
// report (a table read only in part); a failed step says why in its reports.
struct StepResult {
    bool ok = true;
    std::vector<Report> reports;

    explicit operator bool() const { return ok; }
    // Adds a report; the step goes on.
    void report(std::string caption, std::string text, MessageIcon icon) {
        reports.push_back(Report{std::move(caption), std::move(text), icon});
    }
    // Adds the report that ends the step in failure.
    StepResult& fail(std::string caption, std::string text, MessageIcon icon) {
        ok = false;
        report(std::move(caption), std::move(text), icon);
        return *this;
    }
    static StepResult failure(std::string caption, std::string text, MessageIcon icon) {
        StepResult result;
        result.fail(std::move(caption), std::move(text), icon);
        return result;
    }
    // The reports of a later part of the same step; its failure is the step's.
    StepResult& add(StepResult later) {
        ok = ok && later.ok;
        for (Report& r : later.reports) reports.push_back(std::move(r));
        return *this;
    }
};

}  // namespace tarn
