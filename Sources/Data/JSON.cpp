#include "Data/JSON.hpp"

#include "Data/JSONObjectParser.hpp"
#include "Platform/Foundation/Data.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>
#include <optional>
#include <utility>

namespace orvane {

namespace {

// The whole content of a file, wiped when released like every byte buffer
// of this library. Not zero-filled first: reading overwrites it.
class FileBytes {
public:
    // Nothing when the file cannot be opened or read, or does not fit in
    // memory.
    static std::optional<FileBytes> read(const std::string& path) {
        const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (descriptor < 0) {
            return std::nullopt;
        }
        std::optional<FileBytes> bytes = FileBytes();
        try {
            if (!bytes->readAll(descriptor)) {
                bytes.reset();
            }
        } catch (const std::bad_alloc&) {
            bytes.reset();
        }
        ::close(descriptor);
        return bytes;
    }

    FileBytes() = default;
    FileBytes(FileBytes&& other) noexcept
        : buffer_(std::move(other.buffer_)),
          size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    FileBytes& operator=(FileBytes&&) = delete;
    ~FileBytes() { wipeMemory(buffer_.get(), size_); }

    std::span<const std::uint8_t> bytes() const { return {buffer_.get(), size_}; }

private:
    bool readAll(int descriptor) {
        struct stat status {};
        if (::fstat(descriptor, &status) == 0 && status.st_size > 0) {
            reserve(static_cast<std::size_t>(status.st_size) + 1);  // + 1 to see the end at once
        }
        for (;;) {
            if (size_ == capacity_) {
                reserve(capacity_ < 4096 ? 4096 : capacity_ * 2);
            }
            const ssize_t count = ::read(descriptor, buffer_.get() + size_, capacity_ - size_);
            if (count == 0) {
                return true;
            }
            if (count < 0 && errno != EINTR) {
                return false;
            }
            size_ += count > 0 ? static_cast<std::size_t>(count) : 0;
        }
    }

    void reserve(std::size_t capacity) {
        auto grown = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
        if (size_ > 0) {
            std::copy_n(buffer_.get(), size_, grown.get());
            wipeMemory(buffer_.get(), size_);
        }
        buffer_ = std::move(grown);
        capacity_ = capacity;
    }

    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

FileBytes readFile(const URL& url) {
    std::optional<FileBytes> file = url.isFileURL() ? FileBytes::read(url.path()) : std::nullopt;
    if (!file) {
        throw JSONError::fileParseError(url);
    }
    return std::move(*file);
}

ObjectDictionary parseContents(std::span<const std::uint8_t> bytes, const URL& url) {
    // A fragment parses, but only an object at the top level is a document.
    std::optional<ObjectDictionary> contents = JSONObjectParser::parseDictionary(bytes);
    if (!contents) {
        throw JSONError::fileFormatError(url);
    }
    return std::move(*contents);
}

}  // namespace

JSON::JSON(const URL& url) : contents_(parseContents(readFile(url).bytes(), url)) {}

JSON::JSON(std::span<const std::uint8_t> bytes, const URL& url) : contents_(parseContents(bytes, url)) {}

const Object& JSON::entry(std::string_view forKey) const {
    const auto found = contents_.find(forKey);
    if (found == contents_.end()) {
        throw JSONError::valueNotFound(std::string(forKey));
    }
    return found->second;
}

}  // namespace orvane
