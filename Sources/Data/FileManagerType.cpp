#include "Data/FileManagerType.hpp"

#include "Core/TarvelApple.hpp"
#include "Platform/Foundation/SystemLog.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace orvane {

std::string FileManagerType::absolutePath() const {
    return fileURL().path();
}

bool FileManagerType::exists() const {
    return tarvelapple::fileExists(absolutePath());
}

std::optional<std::uint64_t> FileManagerType::size() const {
    struct stat status {};
    if (::lstat(absolutePath().c_str(), &status) != 0 || status.st_size < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(status.st_size);
}

bool FileManagerType::create() {
    const std::string path = absolutePath();
    if (exists()) {
        NSLog("Could not create file at location: " + path + " because it already exists");
        return true;
    }
    std::error_code error;
    const std::string folder = fileURL().deletingLastPathComponent().path();
    std::filesystem::create_directories(folder, error);
    if (error) {
        NSLog("Could not create file at location: " + path);
        return false;
    }
    // O_EXCL: a link already there, dangling or not, is the entry; never create its target.
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (descriptor < 0 && errno == EEXIST) {
        NSLog("Could not create file at location: " + path + " because it already exists");
        return true;
    }
    if (descriptor < 0) {
        NSLog("Could not create file at location: " + path);
        return false;
    }
    ::close(descriptor);
    return true;
}

bool FileManagerType::deleteFile() {
    const std::string path = absolutePath();
    // A link is removed itself, also when its target is missing.
    struct stat status {};
    const bool isLink = ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
    if (!isLink && !exists()) {
        NSLog("File doesn't exist at: " + path);
        return true;
    }
    // Removing nothing is a failure too, as when exists() was overridden.
    std::error_code error;
    const auto removed = std::filesystem::remove_all(path, error);
    if (error || removed == 0) {
        NSLog("Could not remove file from location: " + path);
        return false;
    }
    return true;
}

bool FileManagerType::clean() {
    return deleteFile() && create();
}

}  // namespace orvane
