#include "Data/PropertyListFile.hpp"

#include "Data/AtomicFile.hpp"
#include "Data/PropertyListSerialization.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <plist/plist.h>

#include <algorithm>
#include <cerrno>

namespace orvane {

std::optional<std::string> PropertyListFile::contents(const URL& url) {
    if (!url.isFileURL()) {
        return std::nullopt;
    }
    const std::string path = url.path();
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
        return std::nullopt;
    }
    struct stat status {};
    std::optional<std::string> bytes;
    if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) &&
        static_cast<std::uint64_t>(status.st_size) <= maximumSize) {
        // The file may change size while it is read; read to its end, within the limit.
        std::string buffer(static_cast<std::size_t>(status.st_size) + 1, '\0');
        std::size_t filled = 0;
        while (true) {
            if (filled == buffer.size()) {
                if (buffer.size() > maximumSize) {
                    break;
                }
                buffer.resize(std::min<std::size_t>(buffer.size() * 2, maximumSize + 1));
            }
            const ssize_t got = ::read(descriptor, buffer.data() + filled, buffer.size() - filled);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                break;
            }
            if (got == 0) {
                buffer.resize(filled);
                bytes = std::move(buffer);
                break;
            }
            filled += static_cast<std::size_t>(got);
        }
    }
    ::close(descriptor);
    return bytes;
}

std::optional<ObjectDictionary> PropertyListFile::dictionary(const URL& url) {
    const auto bytes = contents(url);
    return bytes ? PropertyListSerialization::dictionary(*bytes) : std::nullopt;
}

std::optional<Object> PropertyListFile::value(const URL& url, std::string_view key) {
    // Keys come out of libplist as C strings, so none holds a NUL byte.
    if (key.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    const auto bytes = contents(url);
    if (!bytes) {
        return std::nullopt;
    }
    const PropertyListNode root = PropertyListSerialization::parse(*bytes);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT) {
        return std::nullopt;
    }
    void* entry = plist_dict_get_item(root.get(), std::string(key).c_str());
    if (entry == nullptr) {
        return std::nullopt;
    }
    return PropertyListSerialization::object(entry);
}

bool PropertyListFile::write(const ObjectDictionary& dictionary, const URL& url) {
    if (!url.isFileURL()) {
        return false;
    }
    const auto xml = PropertyListSerialization::xmlData(Object(dictionary));
    return xml && AtomicFile::write(url.path(), *xml);
}

}  // namespace orvane
