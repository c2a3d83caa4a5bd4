// AtomicFile: replaces a file's contents all at once, durably.
//
// write() puts the bytes in a new temporary file in the same folder (a hidden
// ".<name>.<random>.tmp"), flushes it to disk with fsync, renames it over the
// target and then flushes the folder, so that the rename itself is on disk.
// A reader — also one after a power cut, or after the writer was killed at
// any instant — finds either the old file or the new one, never a mix. A
// writer killed before its rename can leave its temporary file behind; the
// target is untouched then.
//
// The new file keeps the permission bits of the regular file it replaces, or
// gets 0666 less the umask. A symbolic link at the target is replaced, not
// followed. On failure the temporary file is removed and the target is left
// as it was.
//
// Thread safety: any thread may call write(). Two writers of one target race;
// the last rename wins, and each reader sees one whole version.
//
//   if (!orvane::AtomicFile::write("/home/me/.config/vault/settings.plist", bytes)) { ... }
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

namespace orvane {

class AtomicFile {
public:
    // write: true when `bytes` are now the contents of the file at `path`.
    static bool write(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
    static bool write(const std::filesystem::path& path, std::string_view bytes) {
        return write(path, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    }
};

}  // namespace orvane
