// Comma-separated values as RFC 4180 has them, and as spreadsheets write them: a cell holding a
// comma, a quote or a line break is quoted ("" for a quote inside), records end in CRLF or LF, and
// a UTF-8 byte order mark may stand in front. Cells are kept byte for byte.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarn {

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

struct CsvRecord {
    int line = 0;  // the line (from 1) the record starts on; a quoted line break spans lines
    std::vector<std::string> cells;
};

struct CsvContent {
    std::vector<CsvRecord> records;  // empty lines are no records
    int errorLine = 0;               // where the error is
    std::string error;               // "a quoted cell is not closed"; empty: none
};

CsvContent parseCsv(std::string_view text);

// Cells for a spreadsheet: one that starts with "=", "+", "-", "@", a tab or a CR would run as a
// formula there ("=HYPERLINK(...)"), so Guarded cells get a "'" in front, which shows them as text.
// Such a cell after "'"s of its own gets one more, so that taking one away gives it back exactly.
enum class CsvCells { AsTheyAre, Guarded };
bool startsLikeAFormula(std::string_view cell);
// A guarded cell back as it was: the one "'" before such a character taken away.
std::string withoutFormulaGuard(std::string cell);

// One record and its CRLF; a cell is quoted only when it has to be.
std::string csvLine(const std::vector<std::string>& cells, CsvCells kind = CsvCells::AsTheyAre);

}  // namespace tarn
