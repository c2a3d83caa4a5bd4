#include "Platform/Archive/ArchiveKey.hpp"

#include "Platform/Foundation/UTF8Validation.hpp"

namespace orvane {

std::optional<std::string> archiveStoredKey(std::string_view key) {
    if (key.find('\0') != std::string_view::npos || !isValidUTF8(key)) {
        return std::nullopt;
    }
    // Appended, not "$" + key: g++ 12 at -O3 warns falsely (-Wrestrict) on that.
    std::string stored;
    stored.reserve(key.size() + 1);
    if (key.starts_with('$')) {
        stored.push_back('$');
    }
    stored.append(key);
    return stored;
}

}  // namespace orvane
