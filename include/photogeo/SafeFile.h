// Safe file output: a file is replaced whole or not at all. Every writing operation of the
// library and the photogeo tool goes through here.
//
// A write goes to a temporary file in the target's folder (".photogeo-" and six characters),
// is flushed to the device (fsync), gets the permissions the target had (a new file: 0666 less
// the umask) and optionally another file's times, and is then renamed over the target; the
// folder is synced last so that the rename is durable. Until the rename the target keeps its
// old contents; on any failure the temporary file is removed and the target is untouched.
// A batch may leave the folder sync to one SyncFolder call at its end (WriteOptions).
//
// The target is checked first: a path that exists must be a regular file this process may
// write (a symbolic link is followed, and the file it names is replaced while the link stays).
// A directory, FIFO, device node or socket is refused and left as it is.
//
// Replacing a file gives it a new inode: other hard links keep the old contents. The owner
// and group are kept where the process may set them (as root).
//
// Example:
//     photogeo::WriteOptions keep;
//     keep.timesFrom = "in.jpg";  // the output keeps the input's modification time
//     photogeo::Result<void> r = photogeo::WriteFileAtomically("out.jpg", bytes, keep);
//     if (!r) std::fprintf(stderr, "photogeo: %s\n", r.error().message.c_str());
#ifndef PHOTOGEO_SAFEFILE_H
#define PHOTOGEO_SAFEFILE_H

#include <cstddef>
#include <string>
#include <vector>

#include "photogeo/Export.h"
#include "photogeo/Result.h"

namespace photogeo {

struct WriteOptions {
    // When not empty, the output gets this file's access and modification times (to the
    // nanosecond where the file system keeps them). They are read before anything is written,
    // so this may name the target itself.
    std::string timesFrom;
    // Whether the folder is synced after the rename, so that the new name is durable when the
    // call returns. The file's data is synced before the rename either way, so a crash never
    // leaves a partial file under the target's name: without the folder sync, at worst the old
    // file (and a stray temporary file) is what a crash leaves. A batch writing many files may
    // set this false and call SyncFolder once per folder at its end, saving a sync per file.
    bool syncFolder = true;
};

// Syncs a folder, so that the renames of files written into it with syncFolder = false are
// durable. path names the folder, or a file in it (its symbolic links resolved as the write
// resolves them, so that the folder synced is the one the file was renamed in). Errors:
// "open FOLDER: <reason>", "fsync FOLDER: <reason>".
PHOTOGEO_API Result<void> SyncFolder(const std::string& path);

// Whether path may be replaced: it does not exist, or it is (through any symbolic links) a
// regular file this process may write. Nothing is changed either way. Errors read
// "refusing to replace PATH: a FIFO, not a regular file", "... : Permission denied", or
// "stat PATH: <reason>". A missing folder is reported by the write itself.
PHOTOGEO_API Result<void> CheckOutputTarget(const std::string& path);

// Replaces (or creates) path with the size bytes at data, as described above. Errors name the
// operation, the path and the system's reason: "write /photos/.photogeo-a1B2c3: No space
// left on device".
PHOTOGEO_API Result<void> WriteFileAtomically(const std::string& path, const void* data,
                                              std::size_t size, const WriteOptions& options = {});
inline Result<void> WriteFileAtomically(const std::string& path,
                                        const std::vector<unsigned char>& bytes,
                                        const WriteOptions& options = {}) {
    return WriteFileAtomically(path, bytes.data(), bytes.size(), options);
}

// The whole contents of a file (or of anything that reads to an end: a FIFO, standard input
// as "/dev/stdin"). Errors: "open PATH: <reason>", "read PATH: <reason>".
PHOTOGEO_API Result<std::vector<unsigned char>> ReadWholeFile(const std::string& path);

// The same replacement in steps, for a writer that produces its output piece by piece or
// through its own file object: Begin checks the target and creates the temporary file, the
// caller fills it (Write, or by opening TemporaryPath() itself), Commit puts it in place.
// A replacement destroyed or moved-from before Commit succeeded removes its temporary file.
class PHOTOGEO_API FileReplacement {
public:
    static Result<FileReplacement> Begin(const std::string& path, const WriteOptions& options = {});

    FileReplacement(FileReplacement&& other) noexcept;
    FileReplacement& operator=(FileReplacement&& other) noexcept;
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;
    ~FileReplacement();

    // The temporary file being filled (in the target's folder).
    const std::string& TemporaryPath() const { return m_temporary; }
    // The file that Commit replaces: the target with its symbolic links resolved.
    const std::string& TargetPath() const { return m_target; }
    // Appends size bytes to the temporary file.
    Result<void> Write(const void* data, std::size_t size);
    // Flushes, sets permissions and times, renames over the target and syncs the folder
    // (unless the options said not to).
    // On failure the temporary file is removed and the target is as it was; either way the
    // replacement is finished afterwards.
    Result<void> Commit();

private:
    FileReplacement() = default;
    void Abandon();

    int m_fd = -1;
    std::string m_target;
    std::string m_temporary;
    bool m_targetExisted = false;
    unsigned m_mode = 0;
    long long m_uid = -1, m_gid = -1;
    bool m_setTimes = false;
    bool m_syncFolder = true;
    long long m_times[4] = {};  // access s, ns; modification s, ns
};

}  // namespace photogeo

#endif
