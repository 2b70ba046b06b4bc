// Files for the tests: whole-file reads and writes, and a private temporary directory that is
// removed with its contents afterwards.
#ifndef PHOTOGEO_TESTS_SUPPORT_FILES_H
#define PHOTOGEO_TESTS_SUPPORT_FILES_H

#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<unsigned char>;

// The file's bytes; empty when it cannot be read.
Bytes ReadFile(const std::string& path);
// Creates or truncates path; throws std::runtime_error when it cannot be written.
void WriteFile(const std::string& path, const Bytes& data);
bool FileExists(const std::string& path);

// A fresh directory under /tmp, removed with its contents at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }
    const std::string& Dir() const { return m_dir; }
    // Names of the entries of the directory, sorted.
    std::vector<std::string> List() const;

private:
    std::string m_dir;
};

}  // namespace testsupport

#endif
