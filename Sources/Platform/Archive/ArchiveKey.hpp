// ArchiveKey: the key under which a keyed archive stores a coder's `key`,
// shared by the archiver and the unarchiver. Internal to the library.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvane {

// archiveStoredKey: keys starting with "$" get one more, as the platform's
// archiver does, so that "$class" stays ours. Nothing when libplist cannot
// store the key (a NUL byte) or it is not UTF-8.
std::optional<std::string> archiveStoredKey(std::string_view key);

}  // namespace orvane
