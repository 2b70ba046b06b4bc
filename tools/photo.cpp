// The photo reading and scratch files of photo.h.
#include "photo.h"

#include <photogeo/SafeFile.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "cli.h"

namespace cli {

namespace {

const unsigned char kMarker = 0xFF;
const unsigned char kApp1 = 0xE1;
// SOI, then segments of marker (2 bytes) and a length (2 bytes) that counts itself.
const std::size_t kSoiSize = 2;
const std::size_t kMarkerSize = 2;

// The head of a file that the segments before the frame header normally fit in.
const std::size_t kHeadSize = 1 << 20;

std::vector<unsigned char> ReadHead(const std::string& path) {
    std::vector<unsigned char> head(kHeadSize);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return {};
    head.resize(std::fread(head.data(), 1, head.size(), f));
    std::fclose(f);
    return head;
}

}  // namespace

std::optional<std::vector<unsigned char>> ExifFirst(const std::vector<unsigned char>& jpeg,
                                                    const photogeo::ExifLocation& where) {
    if (!where.found) return std::nullopt;
    bool appOneBefore = false;
    for (std::size_t at = kSoiSize; at + 4 <= where.segmentOffset;) {
        if (jpeg[at] != kMarker) return std::nullopt;
        if (jpeg[at + 1] == kApp1) appOneBefore = true;
        at += kMarkerSize + (static_cast<std::size_t>(jpeg[at + 2]) << 8 | jpeg[at + 3]);
    }
    if (!appOneBefore) return std::nullopt;
    const auto segment = jpeg.begin() + static_cast<std::ptrdiff_t>(where.segmentOffset);
    const auto segmentEnd = segment + static_cast<std::ptrdiff_t>(where.segmentSize);
    std::vector<unsigned char> out(jpeg.begin(), jpeg.begin() + kSoiSize);
    out.insert(out.end(), segment, segmentEnd);
    out.insert(out.end(), jpeg.begin() + kSoiSize, segment);
    out.insert(out.end(), segmentEnd, jpeg.end());
    return out;
}

bool ReadPhoto(const std::string& path, CExifIfdCoder& coder, bool quick, std::string& cause) {
    if (!CheckJpegFile(path, cause)) return false;
    // The coder looks at the first APP1 only: a photo whose EXIF comes later is read from a
    // copy that has it first. The check reads the file's head; only such a photo is read whole.
    std::optional<ScratchFile> scratch;
    std::vector<unsigned char> head = ReadHead(path);
    photogeo::Result<photogeo::ExifLocation> where = photogeo::LocateExif(head.data(), head.size());
    if (where && ExifFirst(head, where.value())) {
        photogeo::Result<std::vector<unsigned char>> whole = photogeo::ReadWholeFile(path);
        if (!whole) {
            cause = whole.error().message;
            return false;
        }
        photogeo::Result<ScratchFile> copy =
            ScratchFile::Create("photo.jpg", *ExifFirst(whole.value(), where.value()));
        if (!copy) {
            cause = copy.error().message;
            return false;
        }
        scratch.emplace(std::move(copy.value()));
    }
    const std::string& read = scratch ? scratch->Path() : path;
    errno = 0;
    const int ok = quick ? coder.QuickDecoder(read.c_str(), 0) : coder.Decoder(read.c_str());
    if (!ok) cause = "cannot open" + (errno != 0 ? ": " + ErrnoText(errno) : std::string());
    return ok != 0;
}

photogeo::Result<ScratchFile> ScratchFile::Create(const std::string& name,
                                                  const std::vector<unsigned char>& bytes) {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/photogeo-XXXXXX";
    if (!mkdtemp(&folder[0])) {
        return photogeo::Error{"create a scratch folder in " + folder + ": " + ErrnoText(errno),
                               errno};
    }
    ScratchFile file;
    file.m_folder = folder;
    file.m_path = folder + "/" + name;
    photogeo::Result<void> written = photogeo::WriteFileAtomically(file.m_path, bytes);
    if (!written) return written.error();
    return file;
}

ScratchFile::ScratchFile(ScratchFile&& other) noexcept
    : m_folder(std::move(other.m_folder)), m_path(std::move(other.m_path)) {
    other.m_folder.clear();
    other.m_path.clear();
}

ScratchFile::~ScratchFile() {
    if (!m_path.empty()) unlink(m_path.c_str());
    if (!m_folder.empty()) rmdir(m_folder.c_str());
}

}  // namespace cli
