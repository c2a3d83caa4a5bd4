// Feeds arbitrary bytes to the property-list reader that PlistProxy and
// PlistFileManagerType files go through (binary or XML, guarded).
//
// Besides crashes, leaks, hangs and memory blow-ups, it checks one property:
// whatever the reader builds and the writer accepts, the writer's XML reads
// back and writes again to the very same text.
#include "Data/PropertyListSerialization.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(bytes), size);
    const auto value = orvane::PropertyListSerialization::propertyList(input);
    if (!value) {
        return 0;
    }
    const auto xml = orvane::PropertyListSerialization::xmlData(*value);
    if (!xml) {
        return 0;  // e.g. a string that is not UTF-8, or a date beyond year 9999
    }
    const auto again = orvane::PropertyListSerialization::propertyList(*xml);
    if (!again || orvane::PropertyListSerialization::xmlData(*again) != xml) {
        std::abort();
    }
    return 0;
}
