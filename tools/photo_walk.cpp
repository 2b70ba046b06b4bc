// Goes through the FILE arguments of the photo commands (see photo_walk.h). Folders are read
// with opendir/readdir and their entries sorted, so the result is the same on every file
// system; folders are recognised by device and inode number, which stops symbolic link loops.
#include "photo_walk.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <set>
#include <utility>

#include "cli.h"

namespace cli {

namespace {

const char kIsDirectory[] = "is a directory (give -r to go through it)";
const unsigned char kSoi[] = {0xFF, 0xD8, 0xFF};  // start of image, then a marker

using FolderId = std::pair<dev_t, ino_t>;

bool StartsWithSoi(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    unsigned char head[sizeof kSoi] = {0, 0, 0};
    std::size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    return n == sizeof head && std::equal(head, head + sizeof head, kSoi);
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string BaseName(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    std::size_t slash = p.find_last_of('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

class Walker {
public:
    Walker(const WalkOptions& options, std::vector<WalkedPhoto>& out) : m_out(out) {
        for (const std::string& path : options.skip) {
            struct stat st;
            if (stat(path.c_str(), &st) == 0) m_seen.insert({st.st_dev, st.st_ino});
        }
    }

    // Goes through folder (its path) whose entries are named below relative.
    void Folder(const std::string& path, const std::string& relative, const struct stat& st) {
        if (!m_seen.insert({st.st_dev, st.st_ino}).second) return;
        DIR* dir = opendir(path.c_str());
        if (!dir) {
            m_out.push_back({path, relative, "cannot open the folder: " + ErrnoText(errno)});
            return;
        }
        std::vector<std::string> names;
        errno = 0;
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
        }
        int err = errno;
        closedir(dir);
        if (err != 0) {
            m_out.push_back({path, relative, "cannot read the folder: " + ErrnoText(err)});
            return;
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            std::string child = Join(path, name);
            std::string below = Join(relative, name);
            struct stat cs;
            if (stat(child.c_str(), &cs) != 0) continue;  // a dangling link
            if (S_ISDIR(cs.st_mode)) {
                Folder(child, below, cs);
            } else if (S_ISREG(cs.st_mode) && (HasJpegExtension(name) || StartsWithSoi(child))) {
                m_out.push_back({child, below, ""});
            }
        }
    }

private:
    std::vector<WalkedPhoto>& m_out;
    std::set<FolderId> m_seen;
};

}  // namespace

bool HasJpegExtension(const std::string& name) {
    std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) return false;
    std::string ext;
    for (std::size_t i = dot + 1; i < name.size(); ++i) {
        char c = name[i];
        ext += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return ext == "jpg" || ext == "jpeg" || ext == "jpe";
}

std::vector<WalkedPhoto> WalkPhotos(const std::vector<std::string>& arguments,
                                    const WalkOptions& options) {
    std::vector<WalkedPhoto> photos;
    Walker walker(options, photos);
    for (const std::string& argument : arguments) {
        struct stat st;
        bool folder = argument != "-" && stat(argument.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        if (!folder) {
            photos.push_back({argument, BaseName(argument), ""});
        } else if (!options.recursive) {
            photos.push_back({argument, BaseName(argument), kIsDirectory});
        } else {
            walker.Folder(argument, "", st);
        }
    }
    return photos;
}

}  // namespace cli
