// An input named on the command line, made readable by the library's readers, which open a
// path and read it more than once (the EXIF reader, then the frame header for the size): "-"
// (standard input) and anything that is not a regular file (a pipe, /dev/stdin, a terminal) are
// first copied to a temporary file that goes away with the object. Used by info and decode.
#ifndef PHOTOGEO_TOOLS_INPUT_FILE_H
#define PHOTOGEO_TOOLS_INPUT_FILE_H

#include <string>

namespace cli {

class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Makes arg readable; false with the cause in plain words (with the system's reason) when
    // it cannot be opened or copied.
    bool Open(const std::string& arg, std::string& cause);
    // The path the readers open.
    const std::string& Path() const { return m_path; }
    // The name for messages and output: arg as given.
    const std::string& Name() const { return m_name; }

private:
    std::string m_name;
    std::string m_path;
    std::string m_spool;  // the temporary copy, removed by the destructor
};

}  // namespace cli

#endif
