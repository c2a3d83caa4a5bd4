#include "Platform/Archive/NSKeyedUnarchiver.hpp"

#include "Platform/Archive/ArchiveKey.hpp"
#include "Platform/Archive/BinaryPropertyList.hpp"
#include "Platform/Archive/NSKeyedArchiver.hpp"
#include "Platform/Archive/PropertyListScalar.hpp"
#include "Platform/Archive/UUID.hpp"
#include "Platform/Foundation/NSException.hpp"

#include <plist/plist.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <map>
#include <string>
#include <utility>

namespace orvane {

namespace {

constexpr std::uint64_t maximumDecodedObjects = 1'000'000;
constexpr std::uint64_t maximumDecodedBytes = 64ULL << 20;

bool isType(void* node, plist_type type) {
    return node != nullptr && plist_get_node_type(node) == type;
}

std::optional<std::string> stringValue(void* node) {
    if (!isType(node, PLIST_STRING)) {
        return std::nullopt;
    }
    std::uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    return text == nullptr ? std::string() : std::string(text, length);
}

// A UID node, or the {"CF$UID": n} dictionary that XML archives use for one.
std::optional<std::uint64_t> uidValue(void* node) {
    std::uint64_t value = 0;
    if (isType(node, PLIST_UID)) {
        plist_get_uid_val(node, &value);
        return value;
    }
    if (isType(node, PLIST_DICT) && plist_dict_get_size(node) == 1) {
        void* inner = plist_dict_get_item(node, "CF$UID");
        if (isType(inner, PLIST_UINT)) {
            plist_get_uint_val(inner, &value);
            return value;
        }
    }
    return std::nullopt;
}

// The members of an array node; nothing when `node` is not an array.
std::optional<std::vector<void*>> arrayItems(void* node) {
    if (!isType(node, PLIST_ARRAY)) {
        return std::nullopt;
    }
    std::vector<void*> items;
    items.reserve(plist_array_get_size(node));
    plist_array_iter iterator = nullptr;
    plist_array_new_iter(node, &iterator);
    for (;;) {
        plist_t item = nullptr;
        plist_array_next_item(node, iterator, &item);
        if (item == nullptr) {
            break;
        }
        items.push_back(item);
    }
    std::free(iterator);
    return items;
}

std::optional<Data> dataValue(void* node) {
    if (!isType(node, PLIST_DATA)) {
        return std::nullopt;
    }
    std::uint64_t length = 0;
    const char* pointer = plist_get_data_ptr(node, &length);
    return pointer == nullptr ? Data() : Data(pointer, length);
}

std::uint64_t byteSize(const Object& object) {
    if (const auto* text = object.stringIf()) {
        return text->size();
    }
    if (const auto* data = object.dataIf()) {
        return data->size();
    }
    return 0;
}

enum class Progress : std::uint8_t { notStarted, decoding, done };

}  // namespace

struct NSKeyedUnarchiver::State {
    explicit State(NSKeyedUnarchiver& unarchiver) : coder(unarchiver) {}

    // The object with this UID: nothing for nil ("$null", or a factory that
    // returned null) and on failure, which also sets `failed`.
    std::optional<Object> decode(std::uint64_t uid);

    // A member of a collection: nil is not allowed there.
    std::optional<Object> decodeMember(void* node) {
        auto uid = uidValue(node);
        if (!uid) {
            return fail();
        }
        auto member = decode(*uid);
        if (!member) {
            return fail();
        }
        return member;
    }

    // The value stored under `key` in the object being built.
    void* valueFor(std::string_view key) const {
        auto stored = archiveStoredKey(key);
        if (containers.empty() || !stored) {
            return nullptr;
        }
        return plist_dict_get_item(containers.back(), stored->c_str());
    }

    std::nullopt_t fail() {
        failed = true;
        return std::nullopt;
    }

    NSKeyedUnarchiver& coder;
    PropertyListNode root;
    std::vector<void*> objects;
    std::span<const CodingClass> classes;
    // Objects built from dictionaries, cached so shared references stay shared.
    std::vector<Progress> progress;
    std::vector<std::optional<Object>> built;
    // Class entries already checked, by UID.
    std::map<std::uint64_t, std::string> classNames;
    // Dictionaries of the user objects being built; the last answers decode*.
    std::vector<void*> containers;
    std::size_t depth = 0;
    std::uint64_t decodedObjects = 0;
    std::uint64_t decodedBytes = 0;
    std::uint64_t byteLimit = maximumDecodedBytes;
    bool failed = false;

private:
    std::optional<Object> decodeInstance(std::uint64_t uid, void* node);
    std::optional<std::string> className(void* node);
    std::optional<Object> decodeClass(const std::string& name, void* node);
    std::optional<Object> decodeArray(void* node);
    std::optional<Object> decodeDictionary(void* node);
    std::optional<Object> decodeUserObject(const std::string& name, void* node);

    std::optional<Object> charged(Object object) {
        decodedBytes += byteSize(object);
        if (decodedBytes > byteLimit) {
            return fail();
        }
        return object;
    }
};

std::optional<Object> NSKeyedUnarchiver::State::decode(std::uint64_t uid) {
    if (failed) {
        return std::nullopt;
    }
    if (uid == 0) {
        return std::nullopt;  // "$null": nil
    }
    if (uid >= objects.size() || ++decodedObjects > maximumDecodedObjects) {
        return fail();
    }
    void* node = objects[uid];
    if (plist_get_node_type(node) == PLIST_DICT) {
        return decodeInstance(uid, node);
    }
    std::optional<Object> scalar = propertyListScalar(node);
    return scalar ? charged(std::move(*scalar)) : fail();
}

std::optional<Object> NSKeyedUnarchiver::State::decodeInstance(std::uint64_t uid, void* node) {
    switch (progress[uid]) {
        case Progress::decoding:
            return fail();  // its own members lead back to it
        case Progress::done:
            return built[uid] ? charged(*built[uid]) : std::nullopt;
        case Progress::notStarted:
            break;
    }
    const auto name = className(node);
    if (!name) {
        return fail();
    }
    if (depth >= keyedArchiveMaximumDepth) {
        return fail();
    }

    progress[uid] = Progress::decoding;
    ++depth;
    std::optional<Object> result = decodeClass(*name, node);
    --depth;
    if (failed) {
        return std::nullopt;
    }
    progress[uid] = Progress::done;
    built[uid] = result;
    return result;
}

std::optional<std::string> NSKeyedUnarchiver::State::className(void* node) {
    const auto classUid = uidValue(plist_dict_get_item(node, "$class"));
    if (!classUid || *classUid == 0 || *classUid >= objects.size()) {
        return std::nullopt;
    }
    if (auto known = classNames.find(*classUid); known != classNames.end()) {
        return known->second;
    }
    void* descriptor = objects[*classUid];
    auto name = isType(descriptor, PLIST_DICT) ? stringValue(plist_dict_get_item(descriptor, "$classname"))
                                               : std::nullopt;
    if (!name) {
        return std::nullopt;
    }
    if (void* hierarchy = plist_dict_get_item(descriptor, "$classes"); hierarchy != nullptr) {
        auto names = arrayItems(hierarchy);
        if (!names) {
            return std::nullopt;
        }
        for (void* superclass : *names) {
            if (!isType(superclass, PLIST_STRING)) {
                return std::nullopt;
            }
        }
    }
    classNames.emplace(*classUid, *name);
    return name;
}

std::optional<Object> NSKeyedUnarchiver::State::decodeClass(const std::string& name, void* node) {
    // A set keeps its members in the order archived, as an array.
    if (name == "NSArray" || name == "NSMutableArray" || name == "NSSet" || name == "NSMutableSet") {
        return decodeArray(node);
    }
    if (name == "NSDictionary" || name == "NSMutableDictionary") {
        return decodeDictionary(node);
    }
    if (name == "NSNull") {
        return Object();
    }
    if (name == "NSDate") {
        void* time = plist_dict_get_item(node, "NS.time");
        double seconds = 0;
        if (isType(time, PLIST_REAL)) {
            plist_get_real_val(time, &seconds);
        } else if (isType(time, PLIST_UINT)) {
            std::uint64_t value = 0;
            plist_get_uint_val(time, &value);
            seconds = static_cast<double>(static_cast<std::int64_t>(value));
        } else {
            return fail();
        }
        return Object(Date::fromTimeIntervalSinceReferenceDate(seconds));
    }
    if (name == "NSString" || name == "NSMutableString") {
        auto text = stringValue(plist_dict_get_item(node, "NS.string"));
        return text ? charged(Object(std::move(*text))) : fail();
    }
    if (name == "NSData" || name == "NSMutableData") {
        auto bytes = dataValue(plist_dict_get_item(node, "NS.data"));
        return bytes ? charged(Object(std::move(*bytes))) : fail();
    }
    if (name == "NSUUID") {
        auto bytes = dataValue(plist_dict_get_item(node, "NS.uuidbytes"));
        UUID::Bytes uuid{};
        if (!bytes || bytes->size() != uuid.size()) {
            return fail();
        }
        std::copy(bytes->data(), bytes->data() + uuid.size(), uuid.begin());
        return Object::box(UUID(uuid));
    }
    return decodeUserObject(name, node);
}

std::optional<Object> NSKeyedUnarchiver::State::decodeArray(void* node) {
    auto members = arrayItems(plist_dict_get_item(node, "NS.objects"));
    if (!members) {
        return fail();
    }
    ObjectArray array;
    array.reserve(members->size());
    for (void* member : *members) {
        auto element = decodeMember(member);
        if (!element) {
            return std::nullopt;
        }
        array.push_back(std::move(*element));
    }
    return Object(std::move(array));
}

std::optional<Object> NSKeyedUnarchiver::State::decodeDictionary(void* node) {
    auto keys = arrayItems(plist_dict_get_item(node, "NS.keys"));
    auto values = arrayItems(plist_dict_get_item(node, "NS.objects"));
    if (!keys || !values || keys->size() != values->size()) {
        return fail();
    }
    ObjectDictionary dictionary;
    for (std::size_t index = 0; index < keys->size(); ++index) {
        auto key = decodeMember((*keys)[index]);
        if (!key || key->stringIf() == nullptr) {
            return fail();
        }
        auto value = decodeMember((*values)[index]);
        if (!value) {
            return std::nullopt;
        }
        dictionary.insert_or_assign(std::move(*key->stringIf()), std::move(*value));
    }
    return Object(std::move(dictionary));
}

std::optional<Object> NSKeyedUnarchiver::State::decodeUserObject(const std::string& name, void* node) {
    const CodingClass* codingClass = nullptr;
    for (const CodingClass& candidate : classes) {
        if (candidate.name == name) {
            codingClass = &candidate;
            break;
        }
    }
    if (codingClass == nullptr || !codingClass->make) {
        return fail();
    }
    containers.push_back(node);
    std::shared_ptr<NSObject> object;
    try {
        object = codingClass->make(coder);
    } catch (const std::exception&) {
        failed = true;
    }
    containers.pop_back();
    if (failed || object == nullptr) {
        return std::nullopt;
    }
    return Object(std::move(object));
}

NSKeyedUnarchiver::NSKeyedUnarchiver() : state_(std::make_unique<State>(*this)) {}

NSKeyedUnarchiver::~NSKeyedUnarchiver() = default;

std::optional<Object> NSKeyedUnarchiver::unarchiveObject(const Data& data,
                                                         std::span<const CodingClass> classes) {
    return unarchiveTopLevelObject(data, "root", classes);
}

std::optional<Object> NSKeyedUnarchiver::unarchiveTopLevelObject(const Data& data, std::string_view key,
                                                                 std::span<const CodingClass> classes) {
    NSKeyedUnarchiver unarchiver;
    State& state = *unarchiver.state_;
    state.root = BinaryPropertyList::parse(data.bytes());
    void* root = state.root.get();
    if (!isType(root, PLIST_DICT)) {
        return std::nullopt;
    }
    std::uint64_t version = 0;
    void* versionNode = plist_dict_get_item(root, "$version");
    if (isType(versionNode, PLIST_UINT)) {
        plist_get_uint_val(versionNode, &version);
    }
    void* top = plist_dict_get_item(root, "$top");
    const std::string topKey(key);
    const auto rootUid = isType(top, PLIST_DICT) && topKey.find('\0') == std::string::npos
                             ? uidValue(plist_dict_get_item(top, topKey.c_str()))
                             : std::nullopt;
    auto objects = arrayItems(plist_dict_get_item(root, "$objects"));
    if (stringValue(plist_dict_get_item(root, "$archiver")) != "NSKeyedArchiver" || version != 100000 ||
        !rootUid || !objects || objects->empty() || stringValue(objects->front()) != "$null") {
        return std::nullopt;
    }

    state.objects = std::move(*objects);
    state.classes = classes;
    state.progress.assign(state.objects.size(), Progress::notStarted);
    state.built.assign(state.objects.size(), std::nullopt);
    state.byteLimit = maximumDecodedBytes + data.size();
    std::optional<Object> result = state.decode(*rootUid);
    if (state.failed) {
        return std::nullopt;
    }
    return result;
}

bool NSKeyedUnarchiver::containsValue(std::string_view key) const {
    return state_->valueFor(key) != nullptr;
}

std::optional<Object> NSKeyedUnarchiver::decodeObject(std::string_view key) {
    const auto uid = uidValue(state_->valueFor(key));
    return uid ? state_->decode(*uid) : std::nullopt;
}

bool NSKeyedUnarchiver::decodeBool(std::string_view key) {
    void* node = state_->valueFor(key);
    std::uint8_t value = 0;
    if (isType(node, PLIST_BOOLEAN)) {
        plist_get_bool_val(node, &value);
    }
    return value != 0;
}

std::int64_t NSKeyedUnarchiver::decodeInteger(std::string_view key) {
    void* node = state_->valueFor(key);
    std::uint64_t value = 0;
    if (isType(node, PLIST_UINT)) {
        plist_get_uint_val(node, &value);
    }
    return static_cast<std::int64_t>(value);
}

double NSKeyedUnarchiver::decodeDouble(std::string_view key) {
    void* node = state_->valueFor(key);
    if (isType(node, PLIST_REAL)) {
        double value = 0;
        plist_get_real_val(node, &value);
        return value;
    }
    return isType(node, PLIST_UINT) ? static_cast<double>(decodeInteger(key)) : 0.0;
}

std::optional<Data> NSKeyedUnarchiver::decodeBytes(std::string_view key) {
    return dataValue(state_->valueFor(key));
}

namespace {

[[noreturn]] void throwNotEncoding() {
    throw NSException("NSInvalidArgumentException", "NSKeyedUnarchiver only decodes; use NSKeyedArchiver");
}

}  // namespace

void NSKeyedUnarchiver::encodeObject(const Object&, std::string_view) {
    throwNotEncoding();
}

void NSKeyedUnarchiver::encodeBool(bool, std::string_view) {
    throwNotEncoding();
}

void NSKeyedUnarchiver::encodeInteger(std::int64_t, std::string_view) {
    throwNotEncoding();
}

void NSKeyedUnarchiver::encodeDouble(double, std::string_view) {
    throwNotEncoding();
}

}  // namespace orvane
