// Feeds arbitrary bytes to JSON's parse stage (the stage after the file is
// read; reading files is covered by the unit tests), then asks for every
// top-level value as each kind of type.
//
// Besides crashes, leaks, hangs and memory blow-ups, it checks that the
// parser's two entry points agree: a document is accepted exactly when the
// text parses to an object.
#include "Data/JSON.hpp"
#include "Data/JSONObjectParser.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace {

template <class T>
void ask(const orvane::JSON& json, const std::string& key) {
    try {
        (void)json.value<T>(key);
    } catch (const orvane::JSONError& error) {
        if (error.errorCase() != orvane::JSONError::Case::invalidValueCast || error.forKey() != key) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static const orvane::URL url = orvane::URL::fileURLWithPath("/fuzz/input.json");
    const std::span<const std::uint8_t> input(bytes, size);

    const std::optional<orvane::Object> root = orvane::JSONObjectParser::parse(input);
    const bool isDocument = root && root->dictionaryIf() != nullptr;
    try {
        const orvane::JSON json(input, url);
        if (!isDocument || json.contents() != *root->dictionaryIf()) {
            std::abort();
        }
        for (const auto& [key, value] : json.contents()) {
            ask<std::string>(json, key);
            ask<std::int64_t>(json, key);
            ask<std::uint8_t>(json, key);
            ask<double>(json, key);
            ask<bool>(json, key);
            ask<std::vector<std::int64_t>>(json, key);
            ask<std::map<std::string, std::string>>(json, key);
            ask<orvane::ObjectDictionary>(json, key);
            ask<std::optional<std::string>>(json, key);
            (void)value.description();
        }
    } catch (const orvane::JSONError& error) {
        if (isDocument || error.errorCase() != orvane::JSONError::Case::fileFormatError ||
            error.url() != url) {
            std::abort();
        }
    }
    return 0;
}
