// PropertyListSerialization: property-list bytes to Object values and back,
// over libplist.
//
// Reading accepts binary ("bplist00") and XML property lists (UTF-8, or UTF-16
// with a byte-order mark); both go through
// their guards (BinaryPropertyList, XMLPropertyList) before libplist sees
// them, so hostile bytes give nothing rather than a crash. Writing produces
// XML.
//
// Values travel as follows (property list ↔ Object):
//   string ↔ string; integer ↔ integer; real ↔ double; Boolean ↔ bool;
//   date ↔ Date; data ↔ Data; array ↔ ObjectArray; dictionary ↔
//   ObjectDictionary. Integers run from INT64_MIN to UINT64_MAX; those
//   above INT64_MAX read as unsigned and are written as such. A binary
//   list's UID reads as the dictionary {"CF$UID": n}, its XML form. When a binary dictionary repeats a
//   key, the first entry wins (as libplist's own lookup does).
//
// Writing refuses (gives nothing) when a value has no property-list form: the
// null object, a reference or a box; a string or key that is not UTF-8 or
// holds a NUL byte (XML cannot carry it); a date that is not finite or lies
// outside the years 1 to 9999; containers nested deeper, or more values, than
// the reader accepts. So whatever is written reads back with the same keys,
// values and types, except that XML keeps dates to the whole second (a date
// is written as the second it falls in, with a four-digit year) and a real's
// sign of zero is lost.
//
// Thread safety: the static functions keep no state; any thread may call them.
//
//   std::optional<orvane::ObjectDictionary> settings =
//       orvane::PropertyListSerialization::dictionary(fileBytes);
//   std::optional<std::string> xml = orvane::PropertyListSerialization::xmlData(orvane::Object(*settings));
#pragma once

#include "Platform/Archive/BinaryPropertyList.hpp"
#include "Platform/Foundation/Date.hpp"
#include "Platform/Foundation/Object.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace orvane {

class PropertyListSerialization {
public:
    using Limits = BinaryPropertyListLimits;

    // The dates XML can hold: 0001-01-01T00:00:00Z to 9999-12-31T23:59:59Z.
    static Date earliestWritableDate();
    static Date latestWritableDate();

    // parse: the libplist tree of binary or XML property-list bytes, or an
    // empty node when they are not a property list within `limits`.
    static PropertyListNode parse(std::string_view bytes, const Limits& limits = {});

    // object: the Object form of a libplist tree such as parse() returns. A
    // node of no property-list type (a bare key) becomes the null object.
    static Object object(void* node);

    // propertyList: the value of property-list bytes, or nothing.
    static std::optional<Object> propertyList(std::string_view bytes, const Limits& limits = {});
    // dictionary: the value of property-list bytes whose root is a
    // dictionary, or nothing.
    static std::optional<ObjectDictionary> dictionary(std::string_view bytes, const Limits& limits = {});

    // node: the libplist tree of a value, or an empty node when the value has
    // no property-list form (see above).
    static PropertyListNode node(const Object& value, const Limits& limits = {});
    // xmlData: the XML property list of a value, or nothing.
    static std::optional<std::string> xmlData(const Object& value, const Limits& limits = {});
};

}  // namespace orvane
