// Helpers shared by the converter's tests: a call of nkf on a std::string, and glibc iconv as
// the independent oracle for the three encodings.
#ifndef PHOTOGEO_TESTS_KANJI_NKFTESTSUPPORT_H
#define PHOTOGEO_TESTS_KANJI_NKFTESTSUPPORT_H

#include <iconv.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "photogeo/Nkf.h"

// Converts text with a buffer that always fits; the result stops at the terminator.
inline std::string Nkf(const std::string& text, const char* options) {
    std::vector<char> out(text.size() * 16 + 64, '\x7F');
    int result = nkf(reinterpret_cast<const unsigned char*>(text.c_str()), out.data(),
                     static_cast<int>(out.size()), options);
    if (result != 0) return "<rejected>";
    return std::string(out.data());
}

// iconv descriptors, opened once per direction and closed when the test program ends.
class IconvDescriptors {
public:
    ~IconvDescriptors() {
        for (auto& entry : descriptors_) {
            if (entry.second != reinterpret_cast<iconv_t>(-1)) iconv_close(entry.second);
        }
    }
    iconv_t Get(const char* from, const char* to) {
        auto found = descriptors_.find({from, to});
        if (found == descriptors_.end()) {
            found = descriptors_.emplace(std::make_pair(from, to), iconv_open(to, from)).first;
        }
        return found->second;
    }

private:
    std::map<std::pair<std::string, std::string>, iconv_t> descriptors_;
};

// iconv's conversion of the whole text, or nothing when iconv refuses any of it.
inline std::optional<std::string> Iconv(const char* from, const char* to, const std::string& text) {
    static IconvDescriptors descriptors;
    iconv_t cd = descriptors.Get(from, to);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string in = text;
    std::string out(text.size() * 8 + 16, '\0');
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) ||
        iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
        return std::nullopt;
    }
    out.resize(out.size() - outLeft);
    return out;
}

#endif
