// ReplacementFile: the file named by `--replacing-with-file`, opened and
// checked when the command starts but read only when a fetch needs its bytes
// (a missing item with nothing to migrate, or an item trusting a foreign
// application), so that a fetch that finds its item never reads it.
//
// Opening fails with the POSIX error of open() (a missing and an unreadable
// file alike), and with ToolFailure::replacementFile for anything but a
// regular file (a device, a pipe, a folder) or a file over 16 MiB; read()
// fails with EFBIG if the file has grown past the limit meanwhile.
//
// Owns its descriptor; one thread at a time.
//
//   const orvane::cli::ReplacementFile file("/run/user/1000/new-secret");
//   orvane::Data bytes = file.read();
#pragma once

#include "Platform/Foundation/Data.hpp"

#include <cstddef>
#include <string>

namespace orvane::cli {

class ReplacementFile {
public:
    static constexpr std::size_t maximumSize = 16 * 1024 * 1024;

    explicit ReplacementFile(std::string path);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // read: every byte of the file, from its start.
    Data read() const;

private:
    std::string path_;
    int descriptor_ = -1;
};

}  // namespace orvane::cli
