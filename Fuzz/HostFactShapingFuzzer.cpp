// Feeds arbitrary bytes, as sysfs attributes and os-release files could hold
// them, to the host-fact shaping rules.
//
// Besides crashes, leaks and hangs, it checks their promises: the text they
// return is valid UTF-8 without NUL where they say so, the replacement
// leaves valid text alone, the last characters are a suffix of the text, and
// a version is three numbers joined by dots.
#include "Platform/Foundation/UTF8Validation.hpp"
#include "System/HostFactShaping.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void check(bool promise) {
    if (!promise) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace orvane::hostfacts;
    const std::string_view input(reinterpret_cast<const char*>(bytes), size);

    const std::string text = replacingIllFormedUTF8(input);
    check(orvane::isValidUTF8(text));
    check(!orvane::isValidUTF8(input) || text == input);

    const std::string attribute = kernelText(input);
    check(orvane::isValidUTF8(attribute) && attribute.find('\0') == std::string::npos);

    const std::string last = lastCharacters(input, 7);
    check(text.ends_with(last) && last.size() <= text.size());
    check(lastCharacters(last, 7) == last);

    if (const auto value = osReleaseValue(input, "VERSION_ID")) {
        if (const auto version = threePartVersion(*value)) {
            check(version->find_first_not_of("0123456789.") == std::string::npos);
            check(std::count(version->begin(), version->end(), '.') == 2);
        }
    }
    return 0;
}
