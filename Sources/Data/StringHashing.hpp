// StringHashing: the interface of a string hasher, so that another hasher can
// stand in for StringHasher.
//
// computeHash(string) turns a string into printable hash text, or throws when
// it cannot (StringHasher throws StringHasherError).
//
// Thread safety: as the implementation states.
//
//   std::shared_ptr<orvane::StringHashing> hasher = std::make_shared<orvane::StringHasher>();
//   std::string text = hasher->computeHash("correct horse");
#pragma once

#include <string>
#include <string_view>

namespace orvane {

class StringHashing {
public:
    virtual ~StringHashing() = default;

    virtual std::string computeHash(std::string_view string) const = 0;
};

}  // namespace orvane
