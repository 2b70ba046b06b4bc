// Fuzz target for the file coder: arbitrary bytes as a photograph file on disk.
//
// The bytes are written to a file on tmpfs and handed to CExifIfdCoder by its path: GetJPEGInfo,
// QuickDecoder (thumbnail flag from the input's length) and Decoder, then every listing item,
// the magnetic variation and true bearing of what was read, as a host shows them, and the HTML
// pull-up of its comment. The write-back operations follow on the same record: Coder into a
// second file and OverwriteGPS on a third copy of the input, so that the marker copying of the
// write path sees the same hostile files as the readers.
//
// Checks: the results are those the interface allows; OverwriteGPS never changes the file's
// length; a file without SOI has no EXIF segment.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzRecord.h"
#include "photogeo/ExifIfdCoder.h"

namespace {

// Files of one run in a private directory on tmpfs (/dev/shm, else /tmp).
std::string ScratchDir() {
    for (const char* base : {"/dev/shm", "/tmp"}) {
        std::string dir = std::string(base) + "/photogeo-fuzz-XXXXXX";
        if (mkdtemp(&dir[0]) != nullptr) return dir;
    }
    std::abort();
}

void Fill(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || (size > 0 && std::fwrite(data, 1, size, f) != size)) std::abort();
    std::fclose(f);
}

bool HasSoi(const uint8_t* data, size_t size) {
    const uint8_t soi[] = {0xFF, 0xD8};
    return std::search(data, data + size, soi, soi + 2) != data + size;
}

void CheckResult(int result) {
    if (result != 0 && result != 1) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string dir = ScratchDir();
    static const std::string input = dir + "/photo.jpg", output = dir + "/copy.jpg",
                             patched = dir + "/patched.jpg", html = dir + "/comment.html";
    if (size > (1u << 20)) return 0;
    Fill(input, data, size);

    {
        CExifIfdCoder coder;
        int width = -7, height = -7;
        if (coder.GetJPEGInfo(input.c_str(), width, height) != 1) std::abort();
        if ((width != -7 || height != -7) && (width < 0 || height < 0)) std::abort();
        if (coder.QuickDecoder(input.c_str(), static_cast<int>(size & 1)) != 1) std::abort();
        if (coder.m_nStatus != 1 && coder.m_nStatus != 2) std::abort();
    }

    CExifIfdCoder coder;
    if (coder.Decoder(input.c_str()) != 1) std::abort();
    if (coder.m_nStatus != 1 && coder.m_nStatus != 2) std::abort();
    if (coder.m_nStatus == 1 && !HasSoi(data, size)) std::abort();

    static const int kItemRanges[][2] = {{0, 13}, {101, 112}, {201, 209}, {301, 326}};
    for (const auto& range : kItemRanges) {
        for (int item = range[0]; item <= range[1]; ++item) {
            CString name, value;
            CheckResult(coder.Listup(item, name, value, 0));
        }
    }
    (void)coder.GetMagVar();
    (void)coder.GetTrueDir();
    CheckResult(coder.PullupHtml(html.c_str()));

    CheckResult(coder.Coder(input.c_str(), output.c_str(), static_cast<int>(size & 2),
                            static_cast<int>(size & 4)));
    Fill(patched, data, size);
    CheckResult(coder.OverwriteGPS(patched.c_str()));
    struct stat st;
    if (stat(patched.c_str(), &st) != 0 || st.st_size != static_cast<off_t>(size)) std::abort();
    return 0;
}
