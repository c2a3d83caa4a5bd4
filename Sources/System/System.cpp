#include "System/System.hpp"

#include "System/HostFactShaping.hpp"

#include <fcntl.h>
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace orvane {

namespace {

// Attribute and os-release files are a few hundred bytes; a larger file is
// read no further than this.
constexpr std::size_t maximumFileSize = 64 * 1024;

// The contents of a small file, or nothing when it cannot be opened or read.
std::optional<std::string> readSmallFile(const char* path) {
    int descriptor;
    do {
        descriptor = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        return std::nullopt;
    }
    std::string contents;
    std::array<char, 4096> chunk;
    bool failed = false;
    while (contents.size() < maximumFileSize) {
        const ssize_t count = ::read(descriptor, chunk.data(), chunk.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            failed = count < 0;
            break;
        }
        contents.append(chunk.data(), static_cast<std::size_t>(count));
    }
    ::close(descriptor);
    if (failed) {
        return std::nullopt;
    }
    if (contents.size() > maximumFileSize) {
        contents.resize(maximumFileSize);
    }
    return contents;
}

// The text of the first attribute file that can be read.
std::optional<std::string> firstKernelText(std::initializer_list<const char*> paths) {
    for (const char* path : paths) {
        if (std::optional<std::string> contents = readSmallFile(path)) {
            return hostfacts::kernelText(*contents);
        }
    }
    return std::nullopt;
}

// Calls `use` with the user record of getuid(), or with nullptr when there is
// none (or the lookup fails). The record lives in a buffer that starts on the
// stack and doubles on ERANGE.
template <typename Use>
auto withUserRecord(Use&& use) {
    constexpr std::size_t maximumBufferSize = 4 * 1024 * 1024;
    const uid_t user = ::getuid();
    std::array<char, 1024> stackBuffer;
    std::unique_ptr<char[]> heapBuffer;
    char* buffer = stackBuffer.data();
    std::size_t size = stackBuffer.size();
    passwd record{};
    passwd* found = nullptr;
    for (;;) {
        const int status = ::getpwuid_r(user, &record, buffer, size, &found);
        if (status == EINTR) {
            continue;
        }
        if (status != ERANGE || size >= maximumBufferSize) {
            break;
        }
        size *= 2;
        heapBuffer = std::make_unique<char[]>(size);
        buffer = heapBuffer.get();
    }
    return use(found);
}

}  // namespace

std::string System::hardwareModel() {
    return firstKernelText({"/sys/class/dmi/id/product_name", "/sys/firmware/devicetree/base/model"})
        .value_or(std::string());
}

std::string System::osVersion() {
    // os-release(5): /usr/lib/os-release is read only when /etc/os-release is missing.
    std::optional<std::string> contents = readSmallFile("/etc/os-release");
    if (!contents) {
        contents = readSmallFile("/usr/lib/os-release");
    }
    if (contents) {
        if (const std::optional<std::string> versionID = hostfacts::osReleaseValue(*contents, "VERSION_ID")) {
            if (std::optional<std::string> version = hostfacts::threePartVersion(*versionID)) {
                return *version;
            }
        }
    }
    utsname names{};
    if (::uname(&names) == 0) {
        if (std::optional<std::string> version = hostfacts::threePartVersion(names.release)) {
            return *version;
        }
    }
    return "0.0.0";
}

std::optional<std::string> System::shortSerialNumber() {
    const std::optional<std::string> serial =
        firstKernelText({"/sys/class/dmi/id/product_serial", "/sys/firmware/devicetree/base/serial-number"});
    if (!serial) {
        return std::nullopt;
    }
    return hostfacts::lastCharacters(*serial, 7);
}

std::string System::homeFolder() {
    return withUserRecord([](const passwd* record) {
        return hostfacts::homeFolderFrom(record != nullptr ? record->pw_dir : nullptr,
                                         ::secure_getenv("HOME"));
    });
}

std::string System::userName() {
    return withUserRecord([](const passwd* record) {
        return hostfacts::userNameFrom(record != nullptr ? record->pw_name : nullptr,
                                       ::secure_getenv("LOGNAME"), ::secure_getenv("USER"));
    });
}

}  // namespace orvane
