// Configuration files (.CNF): the values of the parameter list saved as text and loaded back into
// the list of devices of the same product id and firmware version.
//
//   %d \t %s \t %s \n      number of selected devices, product id, firmware version
//   [%d]\t %s\n            list row (from 0) and its value, blanks written as "_", "<none>" if empty
//
// The writer and reader work over plain rows (parameter text, value text, access mode, modified
// mark); the GUI copies its list into rows and back.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/common/prompter.h"
#include "core/params/definition_set.h"

namespace tarn {

constexpr const char* kNoSelectedData = "No Selected Data!!";
constexpr const char* kFileOpenError = "File Open Error";
constexpr const char* kSavedFileNotMatch = "Saved file not match. Wrong product id & version.";
constexpr const char* kConfigurationFilter = "Configuration File(.CNF)|*.cnf|";
// The value of an empty cell in a file.
inline constexpr std::string_view kNoneToken = "<none>";

struct ConfigurationHeader {
    int deviceCount = 0;    // selected devices
    std::string productId;  // common product id, "ERROR" when the devices differ
    std::string version;    // common firmware version, "ERROR" when the devices differ
};

struct ConfigurationRow {
    std::string parameter;  // column 1; empty for a hidden parameter
    std::string value;      // column 2
    AccessMode access = AccessMode::None;
    bool modified = false;
};

struct ConfigurationEntry {
    long long row = 0;
    std::string token;  // as in the file: "_" for blanks, "<none>" for empty
};

struct ParsedConfiguration {
    bool headerRead = false;
    ConfigurationHeader header;
    std::vector<ConfigurationEntry> entries;
};

// The path to save to: ".CNF" appended when the file name has no "." (dots in folder names, such
// as /home/j.smith, do not count).
std::string configurationSavePath(const std::string& chosen);

// A value as a file line holds it: blanks as "_", "<none>" for the empty text.
std::string configurationToken(const std::string& value);

// The file text. Rows with an empty parameter text (hidden parameters) are skipped; the row
// numbers stay list positions.
std::string formatConfiguration(const ConfigurationHeader& header, const std::vector<ConfigurationRow>& rows);

// Checks the selection ("No Selected Device !!", "You've selected other devices.!!") and writes the
// file atomically ("File Open Error" when it cannot). A refused or failed save leaves an existing
// file untouched.
bool SaveConfiguration(const std::string& path, const ConfigurationHeader& selection,
                       const std::vector<ConfigurationRow>& rows, Prompter& prompter);

ParsedConfiguration parseConfiguration(std::string_view text);

// Applies a parsed file to the rows after the header check ("Saved file not match. Wrong product id
// & version."). "<none>" empties a row's value whatever its access mode; other values change only
// read/write rows, and mark them modified when the text differs. Row numbers outside the list are
// ignored. Returns false (rows unchanged) when the header does not match.
bool applyConfiguration(const ParsedConfiguration& file, const ConfigurationHeader& selection,
                        std::vector<ConfigurationRow>& rows, Prompter& prompter);

// Reads the file ("File Open Error" when it cannot), checks the selection and applies it.
bool LoadConfiguration(const std::string& path, const ConfigurationHeader& selection,
                       std::vector<ConfigurationRow>& rows, Prompter& prompter);

}  // namespace tarn
