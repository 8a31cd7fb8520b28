// Builds .dcf texts for tests and benchmarks.
#pragma once

#include <string>
#include <vector>

namespace tarn::test {

struct ClassLine {
    int instances;
    int start;
    int end;
};

// The version line, the class table (the given classes, then lines with end = -1 up to ten), the
// parameters marker, the body, and "<END>" unless endMarker is false.
inline std::string dcfText(const std::vector<ClassLine>& classes, const std::string& body, bool endMarker = true) {
    std::string text = "<version>  test  1.0  2026\n<common>\n";
    for (int i = 0; i < 10; ++i) {
        const ClassLine c =
            i < static_cast<int>(classes.size()) ? classes[static_cast<std::size_t>(i)] : ClassLine{0, 0, -1};
        text += "Class " + std::to_string(i + 1) + " instance = " + std::to_string(c.instances) +
                " start = " + std::to_string(c.start) + " end = " + std::to_string(c.end) + "\n";
    }
    text += "<parameters>\n" + body;
    if (endMarker) text += "<END>\n";
    return text;
}

// One parameter line with no defined values.
inline std::string dcfEntry(const std::string& id, const std::string& type, const std::string& label,
                            const std::string& name, const std::string& access = "R/W", int size = 1,
                            const std::string& unit = "<none>", int definedCount = 0) {
    return id + "  " + type + "  " + label + "  " + name + "  " + access + "  " + std::to_string(size) + "  " + unit +
           "  " + std::to_string(definedCount) + "\n";
}

// A file of 700 records with nine classes, mixed types, units, defined values and enumerations.
// `perSingleClass` parameters are written for each of eight single-instance classes; the ninth class
// has ten parameters and as many instances as fill the rest. 80 gives a realistic file (640 records
// written, 60 copied); 10 gives a small file that is mostly instance copies.
inline std::string largeDcfText(int perSingleClass = 80) {
    const int records = 700;
    const int singles = 8;
    const int lastClassParameters = 10;
    std::vector<ClassLine> classes;
    std::string body;
    static const char* kTypes[] = {"unsigned_char", "int",  "unsigned_long", "long",        "float", "IP",
                                   "MAC",           "FLAG", "*char",         "unsigned_int"};
    static const int kSizes[] = {1, 2, 4, 4, 4, 4, 6, 1, 16, 2};
    auto addClass = [&](int cls, int instances, int start, int count) {
        classes.push_back({instances, start, start + count - 1});
        for (int p = 1; p <= count; ++p) {
            const int t = (p - 1) % 10;
            const std::string label = instances > 1
                                          ? "Port_[inst]/Settings"
                                          : "Class_" + std::to_string(cls) + "/Part_" + std::to_string(p / 20);
            const std::string id = std::to_string(cls) + ".0." + std::to_string(p);
            const bool defined = t == 0 || t == 1 || t == 2;
            body += dcfEntry(id, kTypes[t], label, "Parameter_" + std::to_string(cls) + "_" + std::to_string(p),
                             p % 3 == 0 ? "R/O" : "R/W", kSizes[t], t == 1 ? "ms" : "<none>", defined ? 3 : 0);
            if (defined) body += "===== Defined Values =====\n[0]  Off\n[1]  Low_level\n[2]  High_level\n";
            if (t == 7) body += "===== Enumeration =====  size : 3\n[00]  Disable\n[01]  Enable\n[02]  Auto_mode\n";
        }
    };
    for (int c = 0; c < singles; ++c) addClass(c + 1, 1, c * perSingleClass, perSingleClass);
    const int rest = records - singles * perSingleClass;
    addClass(singles + 1, rest / lastClassParameters, singles * perSingleClass, lastClassParameters);
    return dcfText(classes, body);
}

}  // namespace tarn::test
