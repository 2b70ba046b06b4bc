// Runs ExifTool over files and reads its JSON (see ExifTool.h).
#include "support/ExifTool.h"

#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace testsupport {

bool HaveExiftool() {
    return std::system("exiftool -ver >/dev/null 2>&1") == 0;
}

std::vector<ExiftoolReading> ReadWithExiftool(const std::vector<std::string>& files) {
    // -G1:4 names the second and later occurrences of a tag "Group:CopyN:Tag", so none is lost.
    std::string cmd = "exiftool -j -a -G1:4 -n -b -validate -all:all -warning -error";
    for (const std::string& f : files) cmd += " '" + f + "'";
    FILE* p = ::popen((cmd + " 2>/dev/null").c_str(), "r");
    if (!p) throw std::runtime_error("cannot run exiftool");
    std::string text;
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) text.append(buffer, n);
    ::pclose(p);
    const nlohmann::json all = nlohmann::json::parse(text);
    // "Group:CopyN:Tag" -> "Group:Tag".
    auto plain = [](std::string key) {
        const size_t copy = key.find(":Copy");
        const size_t end = copy == std::string::npos ? copy : key.find(':', copy + 1);
        if (end != std::string::npos) key.erase(copy, end - copy);
        return key;
    };
    std::map<std::string, ExiftoolReading> byFile;
    for (const nlohmann::json& file : all) {
        ExiftoolReading& r = byFile[file.value("SourceFile", "")];
        for (const auto& [key, value] : file.items()) {
            if (key == "SourceFile") continue;
            const std::string name = plain(key);
            const std::string text = value.is_string() ? value.get<std::string>() : value.dump();
            if (name == "ExifTool:Warning" || name == "ExifTool:Error")
                r.warnings.insert(text);
            else
                r.tags[name].push_back(text);
        }
    }
    std::vector<ExiftoolReading> out;
    for (const std::string& f : files) {
        if (!byFile.count(f)) throw std::runtime_error("exiftool did not read " + f);
        out.push_back(byFile[f]);
    }
    return out;
}

std::set<std::string> ChangedTags(const ExiftoolReading& a, const ExiftoolReading& b,
                                  const std::set<std::string>& ignoredGroups) {
    std::set<std::string> changed;
    auto consider = [&](const std::string& key) {
        if (ignoredGroups.count(key.substr(0, key.find(':')))) return;
        const auto x = a.tags.find(key), y = b.tags.find(key);
        if (x == a.tags.end() || y == b.tags.end() || x->second != y->second) changed.insert(key);
    };
    for (const auto& kv : a.tags) consider(kv.first);
    for (const auto& kv : b.tags) consider(kv.first);
    return changed;
}

}  // namespace testsupport
