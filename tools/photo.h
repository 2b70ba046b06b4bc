// The read every subcommand that takes photos starts with: the file check of cli.h, then the
// coder's read of the photo's EXIF, also when the EXIF APP1 follows another APP1 (an XMP packet,
// say), which the coder alone would not look past. Also the scratch copies that the library's
// path-based operations work on.
#ifndef PHOTOGEO_TOOLS_PHOTO_H
#define PHOTOGEO_TOOLS_PHOTO_H

#include <photogeo/ExifEdit.h>
#include <photogeo/ExifIfdCoder.h>
#include <photogeo/Result.h>

#include <optional>
#include <string>
#include <vector>

namespace cli {

// CheckJpegFile, then the coder's full (Decoder) or quick (QuickDecoder) read; false with the
// cause in plain words when either fails. When another APP1 comes before the EXIF APP1, the
// coder reads a scratch copy whose EXIF APP1 stands first.
bool ReadPhoto(const std::string& path, CExifIfdCoder& coder, bool quick, std::string& cause);

// The photo with its EXIF APP1 (at `where`) moved right after SOI, when another APP1 comes
// before it; empty when the EXIF APP1 is already the first APP1 or there is none.
std::optional<std::vector<unsigned char>> ExifFirst(const std::vector<unsigned char>& jpeg,
                                                    const photogeo::ExifLocation& where);

// A file named `name` in a private folder of its own under TMPDIR (else /tmp), holding the
// given bytes; removed with its folder on destruction.
class ScratchFile {
public:
    static photogeo::Result<ScratchFile> Create(const std::string& name,
                                                const std::vector<unsigned char>& bytes);
    ScratchFile(ScratchFile&& other) noexcept;
    ScratchFile& operator=(ScratchFile&&) = delete;
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ~ScratchFile();

    const std::string& Path() const { return m_path; }

private:
    ScratchFile() = default;
    std::string m_folder;
    std::string m_path;
};

}  // namespace cli

#endif
