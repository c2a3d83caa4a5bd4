#include "Data/AtomicFile.hpp"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <string>

namespace orvane {

namespace {

// Temporary names stay within NAME_MAX however long the target's name is.
constexpr std::size_t maximumNameInTemporary = 200;

std::string randomSuffix() {
    std::array<std::uint8_t, 8> bytes{};
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;  // The O_EXCL open below still refuses a name in use.
        }
        filled += static_cast<std::size_t>(got);
    }
    std::string text;
    for (std::uint8_t byte : bytes) {
        std::array<char, 3> hex{};
        std::snprintf(hex.data(), hex.size(), "%02x", byte);
        text += hex.data();
    }
    return text;
}

bool writeAll(int descriptor, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

// Flushes a folder's entries, so a rename in it survives a crash. Some file
// systems cannot sync a folder; the file itself is on disk by then.
void syncFolder(const std::filesystem::path& folder) {
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
}

}  // namespace

bool AtomicFile::write(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    const std::string name = path.filename().string();
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";

    struct stat existing {};
    const bool keepMode = ::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);

    std::string temporary;
    int descriptor = -1;
    for (int attempt = 0; attempt < 8 && descriptor < 0; ++attempt) {
        // Built by appending: g++ 12 at -O3 misreads "lit" + std::string as overlapping.
        std::string leaf(1, '.');
        leaf.append(name, 0, maximumNameInTemporary).append(1, '.').append(randomSuffix()).append(".tmp");
        temporary = folder / leaf;
        descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor < 0 && errno != EEXIST) {
            return false;
        }
    }
    if (descriptor < 0) {
        return false;
    }

    bool written = writeAll(descriptor, bytes);
    written = written && (!keepMode || ::fchmod(descriptor, existing.st_mode & 07777) == 0);
    written = written && ::fsync(descriptor) == 0;
    written = ::close(descriptor) == 0 && written;
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    syncFolder(folder);
    return true;
}

}  // namespace orvane
