// tarnctl dcf show FILE [--json] [--data-dir DIR]: prints the definition set a .dcf file expands to,
// as a table or as JSON, or the reason the file is refused. A tool for checking .dcf files before
// they ship. A bare file name that is not in the current folder is taken from the data folder, where
// the programs find the products' files.
#include <cstdio>
#include <string>

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include "core/common/file_io.h"
#include "core/common/text.h"
#include "core/params/dcf_parser.h"
#include "core/params/definition_store.h"
#include "link/common/data_folders.h"
#include "link/common/qt_bytes.h"
#include "tarnctl/commands.h"
#include "tarnctl/json_output.h"
#include "tarnctl/usage.h"

namespace tarnctl {

namespace {

using tarn::latin1;

QJsonObject recordJson(const tarn::ParameterRecord& r) {
    QJsonArray defined;
    for (const auto& dv : r.definedValues) defined.append(QJsonObject{{"value", dv.value}, {"text", latin1(dv.text)}});
    QJsonArray enumeration;
    for (const auto& e : r.enumeration) enumeration.append(QJsonObject{{"key", e.key}, {"text", latin1(e.text)}});
    return QJsonObject{{"id", latin1(r.id)},
                       {"type", latin1(r.type)},
                       {"classLabel", latin1(r.classLabel)},
                       {"name", latin1(r.name)},
                       {"access", latin1(r.access)},
                       {"accessMode", static_cast<int>(r.accessMode)},
                       {"size", r.size},
                       {"unit", latin1(r.unit)},
                       {"definedValues", defined},
                       {"enumeration", enumeration}};
}

void printJson(const QString& path, const tarn::DefinitionSet& set) {
    QJsonArray records;
    for (const auto& r : set.records) records.append(recordJson(r));
    QJsonArray groups;
    for (const auto& g : set.groups) groups.append(QJsonObject{{"label", latin1(g.label)}, {"start", g.start}});
    QJsonArray classes;
    for (const auto& c : set.classSlots) {
        if (c.end == -1) break;
        classes.append(QJsonObject{{"instances", c.instanceCount}, {"start", c.start}, {"end", c.end}});
    }
    const QJsonObject root{{"file", path}, {"records", records}, {"groups", groups}, {"classes", classes}};
    tarnctl::printJson(jsonDocument(root));
}

// A text of the file as the terminal gets it: its control characters escaped.
std::string shown(const std::string& text) { return tarn::escapeControlCharacters(text); }

void printTable(const tarn::DefinitionSet& set) {
    std::printf("%-4s %-10s %-14s %-20s %-20s %-7s %5s  %s\n", "#", "id", "type", "class", "parameter", "access",
                "size", "unit");
    for (int i = 0; i < set.recordCount(); ++i) {
        const auto& r = set.records[static_cast<std::size_t>(i)];
        std::printf("%-4d %-10s %-14s %-20s %-20s %-7s %5d  %s\n", i, shown(r.id).c_str(), shown(r.type).c_str(),
                    shown(r.classLabel).c_str(), shown(r.name).c_str(), shown(r.access).c_str(), r.size,
                    shown(r.unit).c_str());
        for (const auto& dv : r.definedValues) std::printf("%38s= %d  %s\n", "", dv.value, shown(dv.text).c_str());
        for (const auto& e : r.enumeration) std::printf("%38s[%02d] %s\n", "", e.key, shown(e.text).c_str());
    }
    std::printf("\ngroups:\n");
    for (int g = 0; g < set.groupCount(); ++g) {
        const auto [first, last] = set.groupRange(g);
        std::printf("  %-3d %-24s records %d..%d\n", g, shown(set.groups[static_cast<std::size_t>(g)].label).c_str(),
                    first, last - 1);
    }
    std::printf("  end entry: %d records\n", set.groups.empty() ? 0 : set.groups.back().start);
}

}  // namespace

int runDcf(const QStringList& args) {
    const QString usage = QStringLiteral("usage: tarnctl dcf show FILE [--json] [--data-dir DIR]");
    if (args.isEmpty() || args.first() != QLatin1String("show")) return usageError(usage);
    QCommandLineParser p;
    p.addOptions(tarnctl::usage(QStringLiteral("dcf show")).options);
    if (!p.parse(QStringList{QStringLiteral("tarnctl dcf show")} + args.mid(1))) return badOption(p);
    const QStringList files = p.positionalArguments();
    if (files.size() > 1) return usageError(QStringLiteral("dcf show: unexpected argument '%1'").arg(files[1]));
    if (files.isEmpty()) return usageError(usage);
    QString file = files.first();
    const bool json = p.isSet("json");
    if (!file.contains('/') && !QFileInfo::exists(file))
        file = QDir(tarn::dataFolder(p.value("data-dir"))).filePath(file);

    const std::string path = file.toLocal8Bit().toStdString();
    const tarn::FileContent content = tarn::readWholeFile(path, tarn::kMaxDcfFileSize);
    if (content.status != tarn::ReadStatus::Ok) {
        if (content.status == tarn::ReadStatus::TooLarge)
            std::fprintf(stderr, "Can't use configuration file! \n%s\nthe file is too large\n", path.c_str());
        else
            std::fprintf(stderr, "Can't find configuration file! \n%s\n", path.c_str());
        return kExitUsage;
    }
    const tarn::DcfParseResult parsed = tarn::parseDeviceConfiguration(content.text);
    if (!parsed.ok) {
        std::fprintf(stderr, "Can't use configuration file! \n%s\n%s\n", path.c_str(), parsed.error.c_str());
        return kExitUsage;
    }
    if (json)
        printJson(file, parsed.set);
    else
        printTable(parsed.set);
    return kExitOk;
}

}  // namespace tarnctl
