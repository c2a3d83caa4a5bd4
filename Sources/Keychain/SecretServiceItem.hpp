// SecretServiceItem: what the Secret Service adaptor reads of one item to
// choose among several matches. Internal to SecKeychainProxy.
//
// Plain values; newestOf is a pure function, safe from any thread.
//
//   const ItemProperties& chosen = newestOf(items);  // items: at least one
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace orvane::secretservice {

using Attributes = std::map<std::string, std::string, std::less<>>;

// The properties of one item that choosing and reading it need. Times are
// seconds since the epoch, as the service gives them.
struct ItemProperties {
    std::string path;
    bool locked = false;
    Attributes attributes;
    std::uint64_t created = 0;
    std::uint64_t modified = 0;
};

// newestOf: the one item every operation picks among several matches: the
// most recently modified, then the most recently created, then the highest
// path, a longer path counting as higher (".../10" above ".../9").
const ItemProperties& newestOf(const std::vector<ItemProperties>& items);

}  // namespace orvane::secretservice
