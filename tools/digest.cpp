// photogeo-digest: prints one line per result of the library's computations on fixed inputs, so
// that builds for different machines can be compared by their output alone (CI runs it natively
// and under qemu for aarch64 and big-endian s390x and requires identical text).
//
// Results: every JPEG file of the samples, the JPEG test data and the decoder's fuzz seeds
// decoded (a hash of the bitmap) and listed (a hash of the EXIF listing and of the block written
// back out); every TIFF block of the EXIF test data and fuzz seeds read in full and quickly;
// GetMagVar and IGRF-14 at fixed places and dates (exact, as hexadecimal floating point); noise
// values and textures; nkf conversions of fixed texts. Hashes are 64-bit FNV-1a over bytes whose meaning
// does not depend on the host, so equal lines mean equal results.
//
// Usage: photogeo-digest [SOURCE_DIR]   (default: the source tree the program was built from)
//
// To add a result: write a function that prints with Line(group, key, value) and call it from
// main; keys must not depend on the machine (no addresses, sizes of host types or times).
#include <photogeo/photogeo.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Decoding is skipped above this many pixels (some fuzz seeds claim huge frames).
constexpr long long kMaxDecodedPixels = 16LL << 20;
// The listing's four groups of item numbers.
constexpr int kItemRanges[][2] = {{0, 13}, {101, 112}, {201, 209}, {301, 326}};

class Fnv64 {
public:
    Fnv64& Add(const void* pData, size_t nSize) {
        const auto* p = static_cast<const unsigned char*>(pData);
        for (size_t i = 0; i < nSize; ++i) m_hash = (m_hash ^ p[i]) * kPrime;
        return *this;
    }
    Fnv64& Add(const std::string& s) { return Add(s.data(), s.size() + 1); }
    // Integers go in as eight little-endian bytes whatever the host's order.
    Fnv64& AddNumber(long long n) {
        unsigned char b[8];
        for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(static_cast<uint64_t>(n) >> (8 * i));
        return Add(b, sizeof b);
    }
    std::string Hex() const {
        char text[17];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(m_hash));
        return text;
    }

private:
    static constexpr uint64_t kPrime = 0x100000001b3ULL;
    uint64_t m_hash = 0xcbf29ce484222325ULL;
};

void Line(const std::string& group, const std::string& key, const std::string& value) {
    std::printf("%s %s %s\n", group.c_str(), key.c_str(), value.c_str());
}

std::string HexFloat(double d) {
    char text[64];
    std::snprintf(text, sizeof text, "%a", d);
    return text;
}

std::string Format(const char* pszFormat, long long a, long long b = 0, long long c = 0) {
    char text[128];
    std::snprintf(text, sizeof text, pszFormat, a, b, c);
    return text;
}

std::vector<unsigned char> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// The regular files of dir whose extension is one of exts (lower case), sorted by name.
std::vector<fs::path> FilesIn(const fs::path& dir, std::initializer_list<const char*> exts) {
    std::vector<fs::path> files;
    if (!fs::is_directory(dir)) return files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        if (entry.is_regular_file() && std::find_if(exts.begin(), exts.end(), [&](const char* e) {
                                           return ext == e;
                                       }) != exts.end())
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Every listed item of a record: item number, label and value.
std::string ListingHash(CExifIfdCoder& coder) {
    Fnv64 hash;
    for (const auto& range : kItemRanges) {
        for (int item = range[0]; item <= range[1]; ++item) {
            CString name, value;
            if (coder.Listup(item, name, value, 0)) hash.AddNumber(item).Add(name.str()).Add(value.str());
        }
    }
    return hash.Hex();
}

// The table laid out again as a TIFF block (in the block's own byte order).
std::string WrittenHash(CExif& exif) {
    std::vector<unsigned char> out(static_cast<size_t>(exif.GetTotalSize()));
    int nLength = exif.WriteExif(out.data());
    return Fnv64().Add(out.data(), static_cast<size_t>(nLength)).Hex();
}

void DigestJpeg(const fs::path& path, const std::string& name) {
    std::vector<unsigned char> data = ReadFile(path);
    std::vector<char> bytes(data.begin(), data.end());
    const int nSize = static_cast<int>(bytes.size());

    SJpegProperty prop{};
    CJpegDecoder probe;
    if (probe.GetProperty(bytes.data(), nSize, prop, 1)) {
        Fnv64 hash;
        for (long long n : {prop.m_nFrameType, prop.m_nFlag, prop.m_nWidth, prop.m_nHeight,
                            prop.m_nComponents, prop.m_nPrecision, prop.m_nJfifType})
            hash.AddNumber(n);
        if (prop.m_pComment) hash.Add(std::string(prop.m_pComment));
        for (int i = 0; prop.m_pQuantCopy && i < 128; ++i) hash.AddNumber(prop.m_pQuantCopy[i]);
        delete[] prop.m_pQuantCopy;
        Line("jpeg-header", name, hash.Hex());
    } else {
        Line("jpeg-header", name, "refused");
    }

    CJpegDecoder decoder;
    int result = decoder.SetJpegData(bytes.data(), nSize);
    int nWidth = 0, nHeight = 0;
    if (result == 0) decoder.GetPictData(nWidth, nHeight);
    if (result == 0 && (nWidth <= 0 || nHeight <= 0 ||
                        static_cast<long long>(nWidth) * nHeight > kMaxDecodedPixels)) {
        Line("jpeg-decode", name, Format("%lldx%lld skipped", nWidth, nHeight));
        return;
    }
    if (result != 0) {
        Line("jpeg-decode", name, Format("analysis %lld", result));
        return;
    }
    const size_t stride = (3 * static_cast<size_t>(nWidth) + 3) / 4 * 4;
    std::vector<char> bitmap(stride * static_cast<size_t>(nHeight), 0);
    result = decoder.DoDecode(bitmap.data());
    Line("jpeg-decode", name,
         Format("%lldx%lld %lld ", nWidth, nHeight, result) + Fnv64().Add(bitmap.data(), bitmap.size()).Hex());
}

void DigestPhoto(const fs::path& path, const std::string& name) {
    CExifIfdCoder full;
    if (!full.Decoder(path.string().c_str()) || full.m_nStatus != 1) {
        Line("photo-exif", name, Format("status %lld", full.m_nStatus));
        return;
    }
    Line("photo-exif", name, ListingHash(full) + " " + WrittenHash(full.m_Exif));
    CExifIfdCoder quick;
    quick.QuickDecoder(path.string().c_str(), 1);
    Line("photo-quick", name, ListingHash(quick));
}

void DigestTiff(const fs::path& path, const std::string& name) {
    std::vector<unsigned char> block = ReadFile(path);
    for (int quick = 0; quick < 2; ++quick) {
        CExifIfdCoder coder;  // lends its record to the listing
        std::string outcome = "read";
        try {
            CInBitStream stream(block.data(), static_cast<int>(block.size()));
            if (quick)
                coder.m_Exif.ReadQuickExif(&stream, static_cast<int>(block.size()), &coder.m_Property, 1);
            else
                coder.m_Exif.ReadExif(&stream, static_cast<int>(block.size()), &coder.m_Property);
        } catch (const EBufferError&) {
            outcome = "malformed";
        }
        Line(quick ? "tiff-quick" : "tiff-read", name,
             outcome + " " + ListingHash(coder) + " " + WrittenHash(coder.m_Exif));
    }
}

void DigestMagVar() {
    // 1995-06-01, 2003-01-01 and 2030-07-01, 00:00 UTC.
    const long kTimes[] = {801964800L, 1041379200L, 1909137600L};
    const double kLatitudes[] = {-89.9, -62.5, -33.9, 0.0, 22.0, 35.68, 46.0, 51.5, 78.2};
    const double kLongitudes[] = {-179.5, -122.4, -0.1, 122.0, 139.7, 149.0, 151.2};
    for (long t : kTimes)
        for (double lat : kLatitudes)
            for (double lon : kLongitudes)
                Line("magvar", HexFloat(lat) + "," + HexFloat(lon) + ",0," + std::to_string(t),
                     HexFloat(GetMagVar(lat, lon, 0.0, t)));
    for (double height : {-400.0, 3776.0, 400000.0})
        Line("magvar", "0x1.4p+5,-0x1.4p+6," + HexFloat(height) + ",1041379200",
             HexFloat(GetMagVar(40.0, -80.0, height, 1041379200L)));
}

// IGRF-14 at the poles, the date limits, below the ground and in orbit; every component and the
// yearly change, so that a difference in any step of the model shows.
void DigestIgrf14() {
    const struct {
        double lat, lon, height, year;
    } kPoints[] = {{51.5, -0.13, 0.0, 2026.9150684931508}, {35.68, 139.77, 0.0, 2026.0},
                   {40.0, -105.0, 1600.0, 1903.3},          {-89.99, 12.0, 400e3, 1955.5},
                   {90.0, 0.0, 0.0, 2030.0},                {-90.0, 45.0, 0.0, 1900.0},
                   {0.1, 179.9, -400.0, 2013.7},            {-33.87, 151.21, 20000e3, 1987.25}};
    for (const auto& p : kPoints) {
        const photogeo::GeomagneticField f =
            photogeo::Igrf14Field(p.lat, p.lon, p.height, p.year).field;
        std::string value;
        for (double v : {f.declination, f.inclination, f.north, f.east, f.down,
                         f.declinationChangePerYear}) {
            value += (value.empty() ? "" : ",") + HexFloat(v);
        }
        Line("igrf14",
             HexFloat(p.lat) + "," + HexFloat(p.lon) + "," + HexFloat(p.height) + "," +
                 HexFloat(p.year),
             value);
    }
}

void DigestNoise() {
    for (int mode = 0; mode < 3; ++mode) {
        CPerlinCloud cloud;
        cloud.Create(0.6 + 0.05 * mode, 48.0, 40.0, 120.0 + 10 * mode, 0.93, 17 * mode);
        double dPixel = 1.0;
        Line("noise-cloud-point", std::to_string(mode), HexFloat(cloud.PerlinCloud2D(12.5, -7.25, dPixel, dPixel)));
        std::vector<unsigned char> texture(96 * 64);
        cloud.FillTexture(texture.data(), 96, 64, 4 + mode, -30.5 * mode, 11.0);
        Line("noise-cloud", std::to_string(mode), Fnv64().Add(texture.data(), texture.size()).Hex());

        CPerlinBump bump;
        bump.Create(0.5 + 0.1 * mode, 1.5, 8.0 + mode, 3.0 * mode, mode == 2);
        Line("noise-bump-point", std::to_string(mode), HexFloat(bump.PerlinBump2D(5, 3.5, 9.75, 0, 0, 0.5 * mode)));
        bump.FillTexture(texture.data(), 96, 64, 3 + mode, 1.5, 2.0, 7.0 * mode, -2.0);
        Line("noise-bump", std::to_string(mode), Fnv64().Add(texture.data(), texture.size()).Hex());
    }
}

void DigestNkf() {
    // Shift-JIS, EUC-JP and JIS texts with kanji, kana, half-width kana and full-width Latin.
    const char* kTexts[] = {
        "\x93\xfa\x96\x7b\x8c\xea\x83\x65\x83\x4c\x83\x58\x83\x67 ABC 123\r\n\xb1\xb2\xb3\xde",
        "\xc6\xfc\xcb\xdc\xb8\xec \xa4\xab\xa4\xca \x8e\xb6\x8e\xde\n\xa3\xc1\xa3\xc2\xa1\xa1",
        "\x1b$B4A;z\x1b(B and \x1b(I12\x1b(B text\n",
        "plain ASCII text, long enough to fold at twenty columns when asked to fold it.\n",
    };
    const char* kOptions[] = {"j", "s", "e", "Sj", "Ee", "xs", "Z1s", "f20j", "rj", "cs", "B1j"};
    for (size_t t = 0; t < sizeof kTexts / sizeof *kTexts; ++t) {
        for (const char* options : kOptions) {
            std::vector<char> out(1024, '\x7f');
            int result = nkf(reinterpret_cast<const unsigned char*>(kTexts[t]), out.data(),
                             static_cast<int>(out.size()), options);
            Line("nkf", std::to_string(t) + "," + options,
                 Format("%lld ", result) + Fnv64().Add(std::string(out.data())).Hex());
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path root = argc > 1 ? fs::path(argv[1]) : fs::path(PHOTOGEO_SOURCE_DIR);
    // EXIF times are local times: fix the zone so that every machine reads them alike.
    setenv("TZ", "JST-9", 1);
    tzset();

    for (const char* dir : {"samples", "tests/data/jpeg", "fuzz/corpus/fuzz_jpeg_decoder",
                            "fuzz/corpus/fuzz_coder_read"}) {
        for (const fs::path& path : FilesIn(root / dir, {".jpg", ".jpeg"})) {
            const std::string name = (fs::path(dir) / path.filename()).string();
            DigestJpeg(path, name);
            DigestPhoto(path, name);
        }
    }
    for (const char* dir : {"tests/data/exif", "fuzz/corpus/fuzz_exif_block"})
        for (const fs::path& path : FilesIn(root / dir, {".tiff", ".tif"}))
            DigestTiff(path, (fs::path(dir) / path.filename()).string());
    DigestMagVar();
    DigestIgrf14();
    DigestNoise();
    DigestNkf();
    return 0;
}
