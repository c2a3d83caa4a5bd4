// Property-list builders for tests: PlistBuilder writes a binary property
// list object by object, so a test can break exactly one rule of the format;
// keyedArchive() and its helpers assemble keyed archives node by node through
// libplist, for archives our own archiver would never write.
//
// Header-only; used by one test at a time. The plist_t helpers return nodes
// that the enclosing container (and finally keyedArchive) takes over.
//
//   testsupport::PlistBuilder builder;
//   const auto list = builder.array({builder.integer(1), builder.ascii("two")});
//   std::vector<std::uint8_t> bytes = builder.build(list);
//
//   orvane::Data archive = testsupport::keyedArchive(
//       {testsupport::instance(2, {{"NS.objects", testsupport::uidArray({})}}),
//       testsupport::classEntry("NSSet")});
#pragma once

#include "Platform/Archive/BinaryPropertyList.hpp"
#include "Platform/Foundation/Data.hpp"

#include <plist/plist.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

inline void appendBigEndian(Bytes& out, std::uint64_t value, std::size_t size) {
    for (std::size_t index = size; index-- > 0;) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * index)));
    }
}

// References are `refSize` bytes wide; offsets take the fewest bytes that fit.
class PlistBuilder {
public:
    explicit PlistBuilder(std::size_t refSize = 1) : refSize_(refSize) {}

    std::uint64_t add(Bytes raw) {
        objects_.push_back(std::move(raw));
        return objects_.size() - 1;
    }
    void set(std::uint64_t index, Bytes raw) { objects_.at(index) = std::move(raw); }

    std::uint64_t integer(std::uint8_t value) { return add({0x10, value}); }
    std::uint64_t ascii(std::string_view text) {
        Bytes raw = marker(0x5, text.size());
        raw.insert(raw.end(), text.begin(), text.end());
        return add(raw);
    }
    Bytes arrayOf(const std::vector<std::uint64_t>& references) const {
        Bytes raw = marker(0xA, references.size());
        for (std::uint64_t reference : references) {
            appendBigEndian(raw, reference, refSize_);
        }
        return raw;
    }
    std::uint64_t array(const std::vector<std::uint64_t>& references) { return add(arrayOf(references)); }
    static Bytes marker(unsigned type, std::uint64_t count) {
        if (count < 15) {
            return {static_cast<std::uint8_t>(type << 4 | count)};
        }
        Bytes raw{static_cast<std::uint8_t>(type << 4 | 0xF), 0x13};
        appendBigEndian(raw, count, 8);
        return raw;
    }

    Bytes build(std::uint64_t top = 0) const {
        Bytes out{'b', 'p', 'l', 'i', 's', 't', '0', '0'};
        std::vector<std::uint64_t> offsets;
        for (const Bytes& object : objects_) {
            offsets.push_back(out.size());
            out.insert(out.end(), object.begin(), object.end());
        }
        const std::uint64_t tableOffset = out.size();
        const std::size_t offsetSize = tableOffset < 0x100 ? 1 : tableOffset < 0x10000 ? 2 : 4;
        for (std::uint64_t offset : offsets) {
            appendBigEndian(out, offset, offsetSize);
        }
        out.insert(out.end(), 6, 0);
        out.push_back(static_cast<std::uint8_t>(offsetSize));
        out.push_back(static_cast<std::uint8_t>(refSize_));
        appendBigEndian(out, objects_.size(), 8);
        appendBigEndian(out, top, 8);
        appendBigEndian(out, tableOffset, 8);
        return out;
    }

private:
    std::size_t refSize_;
    std::vector<Bytes> objects_;
};

// ---------------------------------------------------------------------------
// Keyed archives

inline orvane::Data binary(plist_t root) {
    orvane::PropertyListNode owned(root);
    return orvane::BinaryPropertyList::serialize(owned.get()).value();
}

inline plist_t uidArray(std::initializer_list<std::uint64_t> values) {
    plist_t array = plist_new_array();
    for (std::uint64_t value : values) {
        plist_array_append_item(array, plist_new_uid(value));
    }
    return array;
}

// {"$classname": name, "$classes": [name, "NSObject"]}
inline plist_t classEntry(const char* name) {
    plist_t entry = plist_new_dict();
    plist_dict_set_item(entry, "$classname", plist_new_string(name));
    plist_t classes = plist_new_array();
    plist_array_append_item(classes, plist_new_string(name));
    plist_array_append_item(classes, plist_new_string("NSObject"));
    plist_dict_set_item(entry, "$classes", classes);
    return entry;
}

// {"$class": UID(classUid), key: value...}
inline plist_t instance(std::uint64_t classUid,
                        std::initializer_list<std::pair<const char*, plist_t>> entries = {}) {
    plist_t object = plist_new_dict();
    for (const auto& [key, value] : entries) {
        plist_dict_set_item(object, key, value);
    }
    plist_dict_set_item(object, "$class", plist_new_uid(classUid));
    return object;
}

// A keyed archive around the given "$objects" (after "$null") with the root
// UID under "$top"'s `topKey`; `edit` may then break the root dictionary.
inline orvane::Data keyedArchive(
    const std::vector<plist_t>& objects, plist_t rootUid = plist_new_uid(1),
    const std::function<void(plist_t)>& edit = [](plist_t) {}, const char* topKey = "root") {
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "$version", plist_new_uint(100000));
    plist_dict_set_item(root, "$archiver", plist_new_string("NSKeyedArchiver"));
    plist_t top = plist_new_dict();
    plist_dict_set_item(top, topKey, rootUid);
    plist_dict_set_item(root, "$top", top);
    plist_t list = plist_new_array();
    plist_array_append_item(list, plist_new_string("$null"));
    for (plist_t object : objects) {
        plist_array_append_item(list, object);
    }
    plist_dict_set_item(root, "$objects", list);
    edit(root);
    return binary(root);
}

}  // namespace testsupport
