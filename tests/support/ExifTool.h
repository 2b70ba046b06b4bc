// ExifTool as an independent reader of whole files: every tag it reports, by group, and the
// warnings of its -validate check. One process reads a batch of files.
#ifndef PHOTOGEO_TESTS_SUPPORT_EXIFTOOL_H
#define PHOTOGEO_TESTS_SUPPORT_EXIFTOOL_H

#include <map>
#include <set>
#include <string>
#include <vector>

namespace testsupport {

bool HaveExiftool();

struct ExiftoolReading {
    // "Group1:TagName" -> the values ExifTool printed (numbers as with -n, binary data as
    // base64), one per occurrence.
    std::map<std::string, std::vector<std::string>> tags;
    // -validate's warnings and errors.
    std::set<std::string> warnings;
};

// `exiftool -a -G1 -n -b -validate -all:all` over the files, in their order.
std::vector<ExiftoolReading> ReadWithExiftool(const std::vector<std::string>& files);

// The keys whose values differ between a and b (present in one only counts), for groups
// outside `ignoredGroups`.
std::set<std::string> ChangedTags(const ExiftoolReading& a, const ExiftoolReading& b,
                                  const std::set<std::string>& ignoredGroups);

}  // namespace testsupport

#endif
