// PropertyListScalar: the one conversion between libplist's scalar nodes and
// the dynamic value, shared by the property-list reader and the keyed
// unarchiver. Internal to the library.
//
// Dates travel at full precision: libplist 2.2 hands dates out and takes them
// in as 32-bit seconds since 2001 (1933 to 2069 only), so they go through
// its binary form, which carries the whole double.
#pragma once

#include "Platform/Archive/BinaryPropertyList.hpp"
#include "Platform/Foundation/Date.hpp"
#include "Platform/Foundation/Object.hpp"

#include <cstdint>
#include <optional>

namespace orvane {

// makePropertyListDate: a date node for this many seconds since 2001-01-01.
PropertyListNode makePropertyListDate(double secondsSinceReferenceDate);

// makePropertyListUnsigned: an integer node that lists write as unsigned
// (plist_new_uint's nodes are written as signed 64-bit integers).
PropertyListNode makePropertyListUnsigned(std::uint64_t value);

// propertyListDate: the date a PLIST_DATE node holds.
Date propertyListDate(void* node);

// propertyListScalar: the value of a Boolean, integer (INT64_MIN to
// UINT64_MAX, unsigned above INT64_MAX as the list holds it), real, string,
// date or data node; nothing for any other kind.
std::optional<Object> propertyListScalar(void* node);

}  // namespace orvane
