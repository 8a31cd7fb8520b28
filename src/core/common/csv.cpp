#include "core/common/csv.h"

namespace tarn {

CsvContent parseCsv(std::string_view text) {
    CsvContent out;
    if (text.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark) text.remove_prefix(kUtf8ByteOrderMark.size());
    int line = 1;
    std::size_t i = 0;
    const auto lineEnd = [&](std::size_t at) { return text[at] == '\n' || text[at] == '\r'; };
    const auto skipLineEnd = [&] {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        ++i;
        ++line;
    };
    while (i < text.size()) {
        if (lineEnd(i)) {  // an empty line
            skipLineEnd();
            continue;
        }
        CsvRecord record;
        record.line = line;
        while (true) {
            std::string cell;
            if (i < text.size() && text[i] == '"') {
                const int opened = line;
                ++i;
                while (true) {
                    if (i >= text.size()) {
                        out.errorLine = opened;
                        out.error = "a quoted cell is not closed";
                        return out;
                    }
                    const char c = text[i++];
                    if (c == '"') {
                        if (i < text.size() && text[i] == '"') {
                            cell += '"';
                            ++i;
                            continue;
                        }
                        break;
                    }
                    if (c == '\n' || (c == '\r' && !(i < text.size() && text[i] == '\n'))) ++line;
                    cell += c;
                }
                if (i < text.size() && text[i] != ',' && !lineEnd(i)) {
                    out.errorLine = line;
                    out.error = "text after the closing quote of a cell";
                    return out;
                }
            } else {
                while (i < text.size() && text[i] != ',' && !lineEnd(i)) cell += text[i++];
            }
            record.cells.push_back(std::move(cell));
            if (i < text.size() && text[i] == ',') {
                ++i;
                continue;
            }
            break;
        }
        out.records.push_back(std::move(record));
        if (i < text.size()) skipLineEnd();
    }
    return out;
}

// A cell that starts like a formula after its leading "'"s: a guard goes in front of it, and comes
// off again; so "'=x", which a person typed, is written "''=x" and read back as "'=x".
bool startsLikeAFormula(std::string_view cell) {
    const std::size_t first = cell.find_first_not_of('\'');
    return first != std::string_view::npos && std::string_view("=+-@\t\r").find(cell[first]) != std::string_view::npos;
}

std::string withoutFormulaGuard(std::string cell) {
    if (!cell.empty() && cell.front() == '\'' && startsLikeAFormula(cell)) cell.erase(0, 1);
    return cell;
}

std::string csvLine(const std::vector<std::string>& cells, CsvCells kind) {
    std::string out;
    for (std::size_t c = 0; c < cells.size(); ++c) {
        if (c) out += ',';
        const std::string& cell = kind == CsvCells::Guarded && startsLikeAFormula(cells[c]) ? "'" + cells[c] : cells[c];
        // A leading blank is quoted too, so that no reader trims it away.
        // A record of one empty cell is quoted: an empty line is no record.
        const bool quote = cell.find_first_of(",\"\r\n") != std::string::npos ||
                           (!cell.empty() && (cell.front() == ' ' || cell.back() == ' ')) ||
                           (cell.empty() && cells.size() == 1);
        if (!quote) {
            out += cell;
            continue;
        }
        out += '"';
        for (const char ch : cell) {
            if (ch == '"') out += '"';
            out += ch;
        }
        out += '"';
    }
    return out + "\r\n";
}

}  // namespace tarn
