#include "core/params/dcf_parser.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "core/common/text.h"
#include "core/common/token_reader.h"

namespace tarn {

namespace {

constexpr std::string_view kEndMarker = "<END>";
constexpr std::string_view kNoneMarker = "<none>";
constexpr std::string_view kInstanceMarker = "[inst]";

enum class Step { Ok, End, Bad };

// Replaces every instance component ("0" after the first component) of an id by the instance text.
std::string expandId(const std::string& id, const std::string& instance) {
    if (id.find(".0") == std::string::npos) return id;
    std::string out;
    out.reserve(id.size() + 4);
    std::size_t start = 0;
    bool first = true;
    while (true) {
        const std::size_t dot = id.find('.', start);
        const std::size_t len = (dot == std::string::npos ? id.size() : dot) - start;
        const std::string_view piece(id.data() + start, len);
        if (!first) out += '.';
        out += (!first && piece == "0") ? std::string_view(instance) : piece;
        first = false;
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return out;
}

std::string decodeToken(std::string_view raw) {
    if (raw == kNoneMarker) return {};
    std::string text(raw);
    for (char& c : text) {
        if (c == '_') c = ' ';
    }
    if (text == kNoneMarker) return {};
    return text;
}

class Parser {
public:
    explicit Parser(std::string_view text) : reader_(text) {}

    DcfParseResult run() {
        DcfParseResult result;
        result.ok = readHeader() && readClasses() && readParameters();
        if (result.ok) {
            set_.groups.insert(set_.groups.begin(), ParameterGroup{kAllClassesLabel, 0});
            set_.groups.push_back(ParameterGroup{"", set_.recordCount()});
            result.set = std::move(set_);
        } else {
            result.error = error_;
        }
        return result;
    }

private:
    bool fail(const std::string& what) { return failAt(reader_.line(), what); }
    bool failAt(int line, const std::string& what) {
        error_ = "line " + std::to_string(line) + ": " + what;
        return false;
    }
    Step bad(const std::string& what) {
        fail(what);
        return Step::Bad;
    }
    bool atEnd() {
        const std::string_view next = reader_.peekToken();
        return next.empty() || next == kEndMarker;
    }

    // One "%s" token; "<END>" or the end of the text gives End.
    Step token(std::string_view& out) {
        const std::size_t before = reader_.position();
        const std::string_view t = reader_.token();
        if (t.empty() || t == kEndMarker) return Step::End;
        if (t.size() > kMaxTokenLength) {
            reader_.setPosition(before);
            reader_.skipSpace();
            return bad("a token is longer than " + std::to_string(kMaxTokenLength) + " characters");
        }
        out = t;
        return Step::Ok;
    }

    Step literal(std::string_view phrase) {
        if (reader_.literal(phrase)) return Step::Ok;
        if (atEnd()) return Step::End;
        reader_.skipSpace();
        return bad("expected \"" + std::string(phrase) + "\" but found \"" + std::string(reader_.peekToken()) + "\"");
    }

    Step integer(long long low, long long high, const std::string& what, long long& out, int maxDigits = 0) {
        reader_.skipSpace();
        const auto value = reader_.integer(maxDigits);
        if (!value) {
            if (atEnd()) return Step::End;
            return bad("expected " + what + " but found \"" + std::string(reader_.peekToken()) + "\"");
        }
        if (*value < low || *value > high) {
            return bad(what + " " + std::to_string(*value) + " is out of range (" + std::to_string(low) + " to " +
                       std::to_string(high) + ")");
        }
        out = *value;
        return Step::Ok;
    }

    bool expectMarker(std::string_view marker) {
        reader_.skipSpace();
        const std::string_view t = reader_.token();
        if (t == marker) return true;
        if (t.empty()) return fail("the file ends before \"" + std::string(marker) + "\"");
        return fail("expected \"" + std::string(marker) + "\" but found \"" + std::string(t.substr(0, 40)) + "\"");
    }

    bool readHeader() {
        if (!expectMarker("<version>")) return false;
        for (int i = 0; i < 3; ++i) {
            std::string_view unused;
            const Step s = token(unused);
            if (s == Step::Bad) return false;
            if (s == Step::End) return fail("the version line needs three texts after \"<version>\"");
        }
        return expectMarker("<common>");
    }

    bool readClasses() {
        constexpr long long kIntMin = INT32_MIN, kIntMax = INT32_MAX;
        for (int i = 0; i < kClassSlotCount; ++i) {
            const std::string line = "class line " + std::to_string(i + 1);
            long long number = 0, instances = 0, start = 0, end = 0;
            reader_.skipSpace();
            classLines_[static_cast<std::size_t>(i)] = reader_.line();
            Step s = literal("Class");
            if (s == Step::Ok) s = integer(kIntMin, kIntMax, "a class number", number);
            if (s == Step::Ok) s = literal("instance =");
            if (s == Step::Ok) s = integer(kIntMin, kIntMax, "an instance count", instances);
            if (s == Step::Ok) s = literal("start =");
            if (s == Step::Ok) s = integer(kIntMin, kIntMax, "a start record", start);
            if (s == Step::Ok) s = literal("end =");
            if (s == Step::Ok) s = integer(kIntMin, kIntMax, "an end record", end);
            if (s == Step::End) return fail("the class table ends early: " + line + " is missing or incomplete");
            if (s == Step::Bad) return false;
            set_.classSlots[static_cast<std::size_t>(i)] = ClassSlot{
                static_cast<std::int32_t>(instances), static_cast<std::int32_t>(start), static_cast<std::int32_t>(end)};
        }
        return checkClasses();
    }

    // The class walk only terminates, and only fills records in order, when every class starts
    // right after the records of the classes before it and one slot ends the list.
    bool checkClasses() {
        classCount_ = -1;
        for (int i = 0; i < kClassSlotCount; ++i) {
            if (set_.classSlots[static_cast<std::size_t>(i)].end == -1) {
                classCount_ = i;
                break;
            }
        }
        if (classCount_ < 0)
            return failAt(classLines_[kClassSlotCount - 1],
                          "none of the ten class lines has end = -1 to close the class list");
        long long records = 0;
        for (int i = 0; i < classCount_; ++i) {
            const ClassSlot& slot = set_.classSlots[static_cast<std::size_t>(i)];
            const std::string name = "class line " + std::to_string(i + 1);
            const auto fail = [&](const std::string& what) {
                return failAt(classLines_[static_cast<std::size_t>(i)], what);
            };
            if (slot.instanceCount < 0) return fail(name + " has a negative instance count");
            if (slot.end < slot.start)
                return fail(name + " ends (end = " + std::to_string(slot.end) +
                            ") before it starts (start = " + std::to_string(slot.start) + ")");
            if (slot.start != records) {
                if (i > 0 && set_.classSlots[static_cast<std::size_t>(i) - 1].instanceCount == 0)
                    return fail("class line " + std::to_string(i) + " has 0 instances and " + name +
                                " does not start at record " + std::to_string(records) +
                                ", so the class walk would never end");
                return fail(name + " has start = " + std::to_string(slot.start) + ", but the classes before it hold " +
                            std::to_string(records) + " records");
            }
            records += static_cast<long long>(slot.instanceCount) * (static_cast<long long>(slot.end) - slot.start + 1);
            if (records > kMaxRecords)
                return fail("the classes up to " + name + " expand to more than " + std::to_string(kMaxRecords) +
                            " records");
        }
        set_.records.reserve(static_cast<std::size_t>(records));
        return true;
    }

    bool readParameters() {
        if (!expectMarker("<parameters>")) return false;
        for (int c = 0; c < classCount_; ++c) {
            const ClassSlot& slot = set_.classSlots[static_cast<std::size_t>(c)];
            groupText_.clear();
            const int firstRecord = set_.recordCount();
            Step s = Step::Ok;
            for (int j = 1; j <= slot.instanceCount && s == Step::Ok; ++j) {
                const std::string instance = std::to_string(j);
                for (int p = slot.start; p <= slot.end; ++p) {
                    if (j == 1) {
                        s = readEntry(slot.instanceCount);
                        if (s != Step::Ok) break;
                    } else {
                        copyRecord(p, instance);
                    }
                }
            }
            if (s == Step::Bad) return false;
            // The first instance keeps the instance markers until its copies are made; also when the
            // walk was cut short, its ids must not go out with a "0" instance.
            if (slot.instanceCount > 1) {
                const int last = std::min(slot.end, set_.recordCount() - 1);
                for (int r = firstRecord; r <= last; ++r) {
                    ParameterRecord& rec = set_.records[static_cast<std::size_t>(r)];
                    rec.id = expandId(rec.id, "1");
                    rec.classLabel = replaceAll(rec.classLabel, kInstanceMarker, "1");
                }
            }
            if (s == Step::End) break;
        }
        return true;
    }

    Step readEntry(int instanceCount) {
        std::string_view raw[7];
        for (auto& t : raw) {
            const Step s = token(t);
            if (s != Step::Ok) return s;
        }
        ParameterRecord rec;
        rec.isFlag = raw[1] == "FLAG";
        rec.id = decodeToken(raw[0]);
        rec.type = decodeToken(raw[1]);
        rec.classLabel = decodeToken(raw[2]);
        rec.name = decodeToken(raw[3]);
        rec.access = decodeToken(raw[4]);
        const std::string sizeText = decodeToken(raw[5]);
        rec.unit = decodeToken(raw[6]);
        if (instanceCount == 1) {
            rec.id = expandId(rec.id, "1");
            rec.classLabel = replaceAll(rec.classLabel, kInstanceMarker, "1");
        }
        rec.accessMode = accessModeFromText(rec.access);
        const long long size = parseLeadingInteger(sizeText);
        if (size < 0) return bad("parameter " + rec.id + " has a negative size (" + sizeText + ")");
        if (size > kMaxValueSize)
            return bad("parameter " + rec.id + " has size " + sizeText + "; at most " + std::to_string(kMaxValueSize));
        rec.size = static_cast<std::int32_t>(size);

        long long count = 0;
        Step s = integer(0, kMaxDefinedValues, "the number of defined values", count);
        if (s != Step::Ok) return s;
        if (count > 0) {
            if ((s = literal("===== Defined Values =====")) != Step::Ok) return s;
            for (long long i = 0; i < count; ++i) {
                long long value = 0;
                std::string_view text;
                if ((s = literal("[")) != Step::Ok) return s;
                if ((s = integer(INT32_MIN, INT32_MAX, "a defined value", value)) != Step::Ok) return s;
                if ((s = literal("]")) != Step::Ok) return s;
                if ((s = token(text)) != Step::Ok) return s;
                rec.definedValues.push_back(DefinedValue{static_cast<std::int32_t>(value), decodeToken(text)});
            }
        }
        if (rec.isFlag) {
            if ((s = literal("===== Enumeration =====")) != Step::Ok) return s;
            if ((s = literal("size :")) != Step::Ok) return s;
            if ((s = integer(0, kMaxEnumerationEntries, "the enumeration size", count)) != Step::Ok) return s;
            for (long long i = 0; i < count; ++i) {
                long long key = 0;
                std::string_view text;
                if ((s = literal("[")) != Step::Ok) return s;
                if ((s = integer(0, kMaxEnumerationKey, "an enumeration key", key, 2)) != Step::Ok) return s;
                if ((s = literal("]")) != Step::Ok) return s;
                if ((s = token(text)) != Step::Ok) return s;
                rec.enumeration.push_back(EnumerationEntry{static_cast<int>(key), decodeToken(text)});
            }
        }
        addRecord(std::move(rec));
        return Step::Ok;
    }

    void copyRecord(int template_, const std::string& instance) {
        const ParameterRecord& from = set_.records[static_cast<std::size_t>(template_)];
        ParameterRecord rec;
        rec.id = expandId(from.id, instance);
        rec.classLabel = from.classLabel.find(kInstanceMarker) == std::string::npos
                             ? from.classLabel
                             : replaceAll(from.classLabel, kInstanceMarker, instance);
        rec.name = from.name;
        rec.type = from.type;
        rec.access = from.access;
        rec.size = from.size;
        rec.unit = from.unit;
        rec.accessMode = from.accessMode;
        rec.isFlag = from.isFlag;
        rec.definedValues = from.definedValues;
        rec.enumeration = from.enumeration;
        addRecord(std::move(rec));
    }

    // A new group starts where the label (as the list will show it) no longer contains the current
    // group text; the group text is the label up to its first "/".
    void addRecord(ParameterRecord rec) {
        if (rec.classLabel != lastLabel_) {
            lastLabel_ = rec.classLabel;
            lastShown_ = replaceAll(rec.classLabel, kInstanceMarker, "1");
        }
        const std::string& shown = lastShown_;
        if (groupText_.empty() || shown.find(groupText_) == std::string::npos) {
            std::string text = shown;
            const std::size_t slash = text.find('/');
            if (text.size() > 1 && slash != std::string::npos) text.resize(slash);
            groupText_ = text;
            set_.groups.push_back(ParameterGroup{std::move(text), set_.recordCount()});
        }
        set_.records.push_back(std::move(rec));
    }

    TokenReader reader_;
    DefinitionSet set_;
    std::string error_;
    std::string groupText_;
    std::string lastLabel_;  // the label of the record before, and how the list shows it
    std::string lastShown_;
    int classCount_ = 0;
    std::array<int, kClassSlotCount> classLines_{};
};

}  // namespace

DcfParseResult parseDeviceConfiguration(std::string_view text) { return Parser(text).run(); }

}  // namespace tarn
