#include "orvane/SecretIO.hpp"

#include "Platform/Foundation/ErrorKeys.hpp"
#include "Platform/Foundation/NSError.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace orvane::cli {

namespace {

NSError posixError(int number, const std::string& description, const std::string& path = "") {
    ObjectDictionary userInfo{
        {std::string(NSLocalizedDescriptionKey), description + ": " + std::strerror(number)}};
    if (!path.empty()) {
        userInfo.emplace(std::string(NSFilePathErrorKey), path);
    }
    return NSError("NSPOSIXErrorDomain", number, std::move(userInfo));
}

// ReadBuffer: the chunk that bytes pass through on their way into Data, wiped
// when it goes out of scope whichever way the read ends.
struct ReadBuffer {
    std::array<std::uint8_t, 16384> bytes{};
    ~ReadBuffer() { wipeMemory(bytes.data(), bytes.size()); }
};

}  // namespace

Data readAll(int descriptor, std::string_view what) {
    Data data;
    ReadBuffer buffer;
    for (;;) {
        const ssize_t count = ::read(descriptor, buffer.bytes.data(), buffer.bytes.size());
        if (count == 0) {
            return data;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw posixError(errno, "could not read " + std::string(what));
        }
        data.append(std::span<const std::uint8_t>(buffer.bytes.data(), static_cast<std::size_t>(count)));
    }
}

Data readFile(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        throw posixError(errno, "could not open " + path, path);
    }
    try {
        Data data = readAll(descriptor, path);
        ::close(descriptor);
        return data;
    } catch (...) {
        ::close(descriptor);
        throw;
    }
}

void writeAll(int descriptor, const Data& data, std::string_view what) {
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t count = ::write(descriptor, data.data() + written, data.size() - written);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw posixError(errno, "could not write " + std::string(what));
        }
        written += static_cast<std::size_t>(count);
    }
}

}  // namespace orvane::cli
