#include "Data/PropertyListSerialization.hpp"

#include "Data/XMLPropertyList.hpp"
#include "Platform/Archive/PropertyListScalar.hpp"
#include "Platform/Foundation/UTF8Validation.hpp"

#include <plist/plist.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace orvane {

namespace {

constexpr std::string_view binaryMagic = "bplist00";

double secondsSince1970(std::chrono::sys_seconds time) {
    return static_cast<double>(time.time_since_epoch().count());
}

// A string XML can carry and libplist can take as a C string.
bool isWritableString(const std::string& text) {
    return text.find('\0') == std::string::npos && isValidUTF8(text);
}

ObjectDictionary dictionaryFromNode(void* node, std::size_t depth, std::size_t maximumDepth);

Object objectFromNode(void* node, std::size_t depth, std::size_t maximumDepth) {
    if (std::optional<Object> scalar = propertyListScalar(node)) {
        return std::move(*scalar);
    }
    switch (plist_get_node_type(node)) {
        case PLIST_UID: {
            std::uint64_t value = 0;
            plist_get_uid_val(node, &value);
            return Object(ObjectDictionary{{"CF$UID", Object(static_cast<std::int64_t>(value))}});
        }
        case PLIST_ARRAY: {
            if (depth >= maximumDepth) {
                return Object();
            }
            ObjectArray array;
            array.reserve(plist_array_get_size(node));
            plist_array_iter iterator = nullptr;
            plist_array_new_iter(node, &iterator);
            const std::unique_ptr<void, decltype(&std::free)> owned(iterator, &std::free);
            while (true) {
                plist_t item = nullptr;
                plist_array_next_item(node, iterator, &item);
                if (item == nullptr) {
                    break;
                }
                array.push_back(objectFromNode(item, depth + 1, maximumDepth));
            }
            return Object(std::move(array));
        }
        case PLIST_DICT:
            if (depth >= maximumDepth) {
                return Object();
            }
            return Object(dictionaryFromNode(node, depth, maximumDepth));
        default:
            return Object();
    }
}

ObjectDictionary dictionaryFromNode(void* node, std::size_t depth, std::size_t maximumDepth) {
    ObjectDictionary dictionary;
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(node, &iterator);
    const std::unique_ptr<void, decltype(&std::free)> owned(iterator, &std::free);
    while (true) {
        char* key = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, iterator, &key, &item);
        const std::unique_ptr<char, decltype(&std::free)> ownedKey(key, &std::free);
        if (item == nullptr) {
            break;
        }
        if (key == nullptr) {
            continue;
        }
        // A repeated key keeps its first value, as plist_dict_get_item does.
        if (auto [place, inserted] = dictionary.try_emplace(key); inserted) {
            place->second = objectFromNode(item, depth + 1, maximumDepth);
        }
    }
    return dictionary;
}

// The parsers bound the depth; this bound only guards trees made elsewhere.
constexpr std::size_t conversionDepth = PropertyListSerialization::Limits{}.maximumDepth + 1;

class NodeBuilder {
public:
    explicit NodeBuilder(const PropertyListSerialization::Limits& limits) : limits_(limits) {}

    // An empty node when `value`, or anything in it, has no property-list form.
    PropertyListNode build(const Object& value, std::size_t depth) {
        if (++nodes_ > limits_.maximumExpandedNodes) {
            return {};
        }
        switch (value.kind()) {
            case Object::Kind::boolean:
                return PropertyListNode(plist_new_bool(*value.booleanIf() ? 1 : 0));
            case Object::Kind::integer:
                return value.integerIf()
                           ? PropertyListNode(plist_new_uint(static_cast<std::uint64_t>(*value.integerIf())))
                           : makePropertyListUnsigned(*value.unsignedIf());
            case Object::Kind::real:
                return PropertyListNode(plist_new_real(*value.realIf()));
            case Object::Kind::string:
                return isWritableString(*value.stringIf())
                           ? PropertyListNode(plist_new_string(value.stringIf()->c_str()))
                           : PropertyListNode();
            case Object::Kind::data: {
                const Data& data = *value.dataIf();
                return PropertyListNode(plist_new_data(
                    data.empty() ? "" : reinterpret_cast<const char*>(data.data()), data.size()));
            }
            case Object::Kind::date:
                return date(*value.dateIf());
            case Object::Kind::array: {
                if (depth >= limits_.maximumDepth) {
                    return {};
                }
                PropertyListNode array(plist_new_array());
                for (const Object& element : *value.arrayIf()) {
                    PropertyListNode item = build(element, depth + 1);
                    if (!item) {
                        return {};
                    }
                    plist_array_append_item(array.get(), item.release());
                }
                return array;
            }
            case Object::Kind::dictionary: {
                if (depth >= limits_.maximumDepth) {
                    return {};
                }
                PropertyListNode dictionary(plist_new_dict());
                for (const auto& [key, element] : *value.dictionaryIf()) {
                    PropertyListNode item =
                        isWritableString(key) ? build(element, depth + 1) : PropertyListNode();
                    if (!item) {
                        return {};
                    }
                    plist_dict_set_item(dictionary.get(), key.c_str(), item.release());
                }
                return dictionary;
            }
            default:
                return {};
        }
    }

private:
    static PropertyListNode date(const Date& date) {
        // XML holds whole seconds: the second the date falls in, also before 1970.
        const double seconds = std::floor(date.timeIntervalSince1970());
        if (!(seconds >= PropertyListSerialization::earliestWritableDate().timeIntervalSince1970() &&
              seconds <= PropertyListSerialization::latestWritableDate().timeIntervalSince1970())) {
            return {};
        }
        return makePropertyListDate(seconds - Date::timeIntervalBetween1970AndReferenceDate);
    }

    const PropertyListSerialization::Limits& limits_;
    std::uint64_t nodes_ = 0;
};

}  // namespace

Date PropertyListSerialization::earliestWritableDate() {
    using namespace std::chrono;
    return Date::fromTimeIntervalSince1970(secondsSince1970(sys_days(year(1) / January / 1)));
}

Date PropertyListSerialization::latestWritableDate() {
    using namespace std::chrono;
    return Date::fromTimeIntervalSince1970(
        secondsSince1970(sys_days(year(10000) / January / 1) - seconds(1)));
}

PropertyListNode PropertyListSerialization::parse(std::string_view bytes, const Limits& limits) {
    if (bytes.starts_with(binaryMagic)) {
        return BinaryPropertyList::parse(
            std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), limits);
    }
    return XMLPropertyList::parse(bytes, limits);
}

Object PropertyListSerialization::object(void* node) {
    return node == nullptr ? Object() : objectFromNode(node, 0, conversionDepth);
}

std::optional<Object> PropertyListSerialization::propertyList(std::string_view bytes, const Limits& limits) {
    const PropertyListNode root = parse(bytes, limits);
    if (!root) {
        return std::nullopt;
    }
    return object(root.get());
}

std::optional<ObjectDictionary> PropertyListSerialization::dictionary(std::string_view bytes,
                                                                      const Limits& limits) {
    const PropertyListNode root = parse(bytes, limits);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT) {
        return std::nullopt;
    }
    return dictionaryFromNode(root.get(), 0, conversionDepth);
}

PropertyListNode PropertyListSerialization::node(const Object& value, const Limits& limits) {
    return NodeBuilder(limits).build(value, 0);
}

std::optional<std::string> PropertyListSerialization::xmlData(const Object& value, const Limits& limits) {
    const PropertyListNode root = node(value, limits);
    return root ? XMLPropertyList::serialize(root.get()) : std::nullopt;
}

}  // namespace orvane
