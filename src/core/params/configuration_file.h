// Configuration files (.CNF): the values of the parameter list saved as text and loaded back into
// the list of devices of the same product id and firmware version.
//
//   %d \t %s \t %s \n      number of selected devices, product id, firmware version
//   [%d]\t %s\n            list row (from 0) and its value, blanks written as "_", "<none>" if empty
//   <exact>\n              only when a value line cannot tell a text exactly (it holds "_", white
//   [%d]\t %s\n            space other than blanks, or is "<none>"): the row and its exact text, every
//                          byte outside "!".."~" and every "%" and "<" as %XX, the empty text "<none>"
//
// "<none>" on a value line keeps the meaning it always had: the cell is emptied, unmarked, so a set
// sends nothing for it. Only an exact line "<none>" is the empty text, which a load restores; the
// writer puts one only for a text row whose cell holds an empty text that was read (never for a cell
// left empty because the selected devices hold different values, or never read).
//
// Readers that know only the value lines stop at "<exact>", as they stop at any line that is not a
// value line, so files stay readable by them. Where a file has no exact text for a row (a file
// written by such a reader), a value token that is exactly how the row's present text is written is
// that text: "Pump_1" stays "Pump_1" rather than becoming "Pump 1", and restoring a device's own
// backup sends nothing.
//
// A damaged file is refused whole, nothing taken from it: a line that is not a value line, a last
// line without its line end (a file cut short), or an exact line that is not a text of its row's
// value-line token (a file that contradicts itself).
//
// The writer and reader work over plain rows (parameter text, value text, access mode, modified
// mark); the GUI copies its list into rows and back.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/file_io.h"
#include "core/common/report.h"
#include "core/params/definition_set.h"

namespace tarn {

constexpr const char* kNoSelectedData = "No Selected Data!!";
constexpr const char* kFileOpenError = "File Open Error";
constexpr const char* kSavedFileNotMatch = "Saved file not match. Wrong product id & version.";
// What the file dialogs of Save, Load and Compare with file offer.
constexpr const char* kConfigurationFilter = "Configuration File(.CNF) (*.cnf *.CNF)";
// A configuration file is small; a larger file is not read.
inline constexpr std::size_t kMaxConfigurationFileBytes = 16u << 20;
constexpr const char* kConfigurationTooLargeText =
    "The file is larger than 16 MiB, so it is not a configuration file. Nothing was loaded from it.";
// Said after a save that could not write its bytes (a full disk).
constexpr const char* kFileKeptText = "An existing file of that name is unchanged.";
// The value of an empty cell in a file.
inline constexpr std::string_view kNoneToken = "<none>";
// The line that starts the exact texts.
inline constexpr std::string_view kExactSection = "<exact>";

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
    bool text = false;  // a text record ("*char"): an exact "<none>" gives it the empty text
    // The cell shows what the devices hold. False when it was never read, was emptied because the
    // selected devices hold different values, or was emptied by "<none>" on a value line.
    bool known = true;
};

struct ConfigurationEntry {
    long long row = 0;
    std::string token;                 // as in the file: "_" for blanks, "<none>" for empty
    std::optional<std::string> exact;  // the exact text, when the file has one for the row
};

struct ParsedConfiguration {
    bool headerRead = false;
    ConfigurationHeader header;
    std::vector<ConfigurationEntry> entries;
    std::string damage;  // what is not a value line ("line 7 is not a value line"); empty: none
};

// The text a file entry gives a row that shows `current` (the one rule of Load, Compare with file
// and fleet apply): its exact text; else `current` when the token is exactly how `current` is
// written; else "" for "<none>" (an emptied cell, see entryEmptiesCell); else the token with every
// "_" read as a blank.
std::string entryText(const ConfigurationEntry& entry, const std::string& current);
// "<none>" on a value line without an exact text: the cell is emptied, unmarked, and nothing is sent.
bool entryEmptiesCell(const ConfigurationEntry& entry, const std::string& current);

// The path to save to: ".CNF" appended when the file name has no "." (dots in folder names, such
// as /home/j.smith, do not count).
std::string configurationSavePath(const std::string& chosen);

// A value as a file line holds it: blanks as "_", "<none>" for the empty text.
std::string configurationToken(const std::string& value);

// The file text. Rows with an empty parameter text (hidden parameters) are skipped; the row
// numbers stay list positions.
std::string formatConfiguration(const ConfigurationHeader& header, const std::vector<ConfigurationRow>& rows);

// Checks the selection ("No Selected Device !!", "You've selected other devices.!!") and writes the
// file atomically ("File Open Error" when it cannot); each refusal is reported as an "Error" box. A refused or failed
// save leaves an existing file untouched.
StepResult SaveConfiguration(const std::string& path, const ConfigurationHeader& selection,
                             const std::vector<ConfigurationRow>& rows, Flush flush = Flush::Now);

ParsedConfiguration parseConfiguration(std::string_view text);
// "The file is damaged: line 7 is not a value line. Nothing was loaded from it."
std::string configurationDamageText(const ParsedConfiguration& file);

// Applies a parsed file to the rows after the checks: a damaged file is refused whole, then the
// header ("Saved file not match. Wrong product id & version."). "<none>" on a value line empties the
// cell whatever the access mode, unmarked; an exact "<none>" gives a read/write text row the empty
// text, marked when it held another. Other read/write rows take entryText, and are marked modified
// when it differs from their text. Row numbers outside the list are ignored. A refused file fails
// (rows unchanged) with its "Error" report.
StepResult applyConfiguration(const ParsedConfiguration& file, const ConfigurationHeader& selection,
                              std::vector<ConfigurationRow>& rows);

// Reads the file ("File Open Error" when it cannot), checks the selection and applies it.
StepResult LoadConfiguration(const std::string& path, const ConfigurationHeader& selection,
                             std::vector<ConfigurationRow>& rows);

}  // namespace tarn
