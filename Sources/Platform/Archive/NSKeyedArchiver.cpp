#include "Platform/Archive/NSKeyedArchiver.hpp"

#include "Platform/Archive/ArchiveKey.hpp"
#include "Platform/Archive/BinaryPropertyList.hpp"
#include "Platform/Archive/PropertyListScalar.hpp"
#include "Platform/Archive/UUID.hpp"
#include "Platform/Foundation/NSException.hpp"
#include "Platform/Foundation/UTF8Validation.hpp"

#include <plist/plist.h>

#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace orvane {

namespace {

// Counts one level of nesting for as long as it lives.
class DepthScope {
public:
    explicit DepthScope(std::size_t& depth) : depth_(depth) { ++depth_; }
    ~DepthScope() { --depth_; }
    DepthScope(const DepthScope&) = delete;
    DepthScope& operator=(const DepthScope&) = delete;
    bool tooDeep() const { return depth_ > keyedArchiveMaximumDepth; }

private:
    std::size_t& depth_;
};

}  // namespace

struct NSKeyedArchiver::State {
    explicit State(NSKeyedArchiver& archiver) : coder(archiver) { append(plist_new_string("$null")); }

    // Encodes `object` (and everything it holds) and returns its UID.
    std::optional<std::uint64_t> write(const Object& object);

    // The dictionary that encode* calls write into, or null outside encode().
    void* currentContainer() const { return containers.empty() ? nullptr : containers.back(); }

    // The archive's root dictionary; "$objects" takes over every node.
    PropertyListNode finish(std::uint64_t rootUid);

    NSKeyedArchiver& coder;
    // "$objects", indexed by UID; a reserved slot stays empty until the
    // object's dictionary is complete.
    std::vector<PropertyListNode> objects;
    std::map<std::string, std::uint64_t, std::less<>> strings;
    std::map<std::string, std::uint64_t, std::less<>> classes;
    // Arrays, dictionaries and references archived so far, by identity. The
    // retained copies keep them alive, so an address is never reused for a
    // different object while the archive is being written.
    std::map<const void*, std::uint64_t> identities;
    std::vector<Object> retained;
    std::optional<std::uint64_t> nullObject;
    // Dictionaries of the user objects being encoded; the last receives keys.
    std::vector<void*> containers;
    std::size_t depth = 0;
    bool failed = false;

private:
    std::optional<std::uint64_t> writeString(const std::string& text);
    std::optional<std::uint64_t> writeNull();
    std::optional<std::uint64_t> writeDate(const Date& date);
    std::optional<std::uint64_t> writeUUID(const UUID& uuid);
    std::optional<std::uint64_t> writeArray(const Object& object);
    std::optional<std::uint64_t> writeDictionary(const Object& object);
    std::optional<std::uint64_t> writeReference(const Object& object);

    std::uint64_t append(void* node) {
        objects.emplace_back(node);
        return objects.size() - 1;
    }

    std::optional<std::uint64_t> known(const void* identity) const {
        auto found = identities.find(identity);
        return found == identities.end() ? std::nullopt : std::optional(found->second);
    }

    // A slot for an object whose contents come next, registered under its
    // identity so that a second reference (or a cycle) finds it.
    std::uint64_t reserve(const void* identity, const Object& object) {
        const std::uint64_t uid = append(nullptr);
        if (identity != nullptr) {
            identities.emplace(identity, uid);
            retained.push_back(object);
        }
        return uid;
    }

    // The UID of the class entry for `name`, written on first use; nothing
    // when the name is not UTF-8 or holds a NUL byte.
    std::optional<std::uint64_t> classUid(const std::string& name,
                                          std::initializer_list<const char*> superclasses);

    // Fills a reserved slot with `dictionary` plus its "$class" entry.
    std::optional<std::uint64_t> complete(std::uint64_t uid, PropertyListNode dictionary,
                                          std::optional<std::uint64_t> classUid) {
        if (!classUid) {
            return fail();
        }
        plist_dict_set_item(dictionary.get(), "$class", plist_new_uid(*classUid));
        objects[uid] = std::move(dictionary);
        return uid;
    }

    std::optional<std::uint64_t> fail() {
        failed = true;
        return std::nullopt;
    }
};

std::optional<std::uint64_t> NSKeyedArchiver::State::write(const Object& object) {
    if (failed) {
        return std::nullopt;
    }
    switch (object.kind()) {
        case Object::Kind::null:
            return writeNull();
        case Object::Kind::boolean:
            return append(plist_new_bool(*object.booleanIf() ? 1 : 0));
        case Object::Kind::integer:
            // libplist has no signed integers: a signed value's bits are written as
            // the eight-byte integer a negative number needs, one above INT64_MAX
            // in the sixteen-byte unsigned form.
            return object.integerIf()
                       ? append(plist_new_uint(static_cast<std::uint64_t>(*object.integerIf())))
                       : append(makePropertyListUnsigned(*object.unsignedIf()).release());
        case Object::Kind::real:
            return append(plist_new_real(*object.realIf()));
        case Object::Kind::string:
            return writeString(*object.stringIf());
        case Object::Kind::data: {
            const Data& data = *object.dataIf();
            return append(plist_new_data(reinterpret_cast<const char*>(data.data()), data.size()));
        }
        case Object::Kind::date:
            return writeDate(*object.dateIf());
        case Object::Kind::array:
            return writeArray(object);
        case Object::Kind::dictionary:
            return writeDictionary(object);
        case Object::Kind::reference:
            return writeReference(object);
        case Object::Kind::box:
            if (auto uuid = object.as<UUID>()) {
                return writeUUID(*uuid);
            }
            return fail();
    }
    return fail();
}

std::optional<std::uint64_t> NSKeyedArchiver::State::writeString(const std::string& text) {
    if (auto found = strings.find(text); found != strings.end()) {
        return found->second;
    }
    PropertyListNode node = BinaryPropertyList::makeString(text);
    if (!node) {
        return fail();
    }
    const std::uint64_t uid = append(node.release());
    strings.emplace(text, uid);
    return uid;
}

std::optional<std::uint64_t> NSKeyedArchiver::State::writeNull() {
    // The null object is a singleton, archived once.
    if (!nullObject) {
        const std::uint64_t uid = reserve(nullptr, Object());
        nullObject = complete(uid, PropertyListNode(plist_new_dict()), classUid("NSNull", {"NSObject"}));
    }
    return nullObject;
}

std::optional<std::uint64_t> NSKeyedArchiver::State::writeDate(const Date& date) {
    const std::uint64_t uid = reserve(nullptr, Object());
    PropertyListNode dictionary(plist_new_dict());
    plist_dict_set_item(dictionary.get(), "NS.time", plist_new_real(date.timeIntervalSinceReferenceDate()));
    return complete(uid, std::move(dictionary), classUid("NSDate", {"NSObject"}));
}

std::optional<std::uint64_t> NSKeyedArchiver::State::writeUUID(const UUID& uuid) {
    const std::uint64_t uid = reserve(nullptr, Object());
    PropertyListNode dictionary(plist_new_dict());
    plist_dict_set_item(
        dictionary.get(), "NS.uuidbytes",
        plist_new_data(reinterpret_cast<const char*>(uuid.bytes().data()), uuid.bytes().size()));
    return complete(uid, std::move(dictionary), classUid("NSUUID", {"NSObject"}));
}

std::optional<std::uint64_t> NSKeyedArchiver::State::writeArray(const Object& object) {
    const ObjectArray& array = *object.arrayIf();
    if (auto uid = known(&array)) {
        return uid;
    }
    DepthScope scope(depth);
    if (scope.tooDeep()) {
        return fail();
    }
    const std::uint64_t uid = reserve(&array, object);
    PropertyListNode members(plist_new_array());
    for (const Object& element : array) {
        auto elementUid = write(element);
        if (!elementUid) {
            return fail();
        }
        plist_array_append_item(members.get(), plist_new_uid(*elementUid));
    }
    PropertyListNode dictionary(plist_new_dict());
    plist_dict_set_item(dictionary.get(), "NS.objects", members.release());
    return complete(uid, std::move(dictionary), classUid("NSArray", {"NSObject"}));
}

std::optional<std::uint64_t> NSKeyedArchiver::State::writeDictionary(const Object& object) {
    const ObjectDictionary& entries = *object.dictionaryIf();
    if (auto uid = known(&entries)) {
        return uid;
    }
    DepthScope scope(depth);
    if (scope.tooDeep()) {
        return fail();
    }
    const std::uint64_t uid = reserve(&entries, object);
    // All keys first, then all values, as the platform writes them.
    PropertyListNode keys(plist_new_array());
    PropertyListNode values(plist_new_array());
    for (const auto& [key, value] : entries) {
        auto keyUid = writeString(key);
        if (!keyUid) {
            return fail();
        }
        plist_array_append_item(keys.get(), plist_new_uid(*keyUid));
    }
    for (const auto& [key, value] : entries) {
        auto valueUid = write(value);
        if (!valueUid) {
            return fail();
        }
        plist_array_append_item(values.get(), plist_new_uid(*valueUid));
    }
    PropertyListNode dictionary(plist_new_dict());
    plist_dict_set_item(dictionary.get(), "NS.keys", keys.release());
    plist_dict_set_item(dictionary.get(), "NS.objects", values.release());
    return complete(uid, std::move(dictionary), classUid("NSDictionary", {"NSObject"}));
}

std::optional<std::uint64_t> NSKeyedArchiver::State::writeReference(const Object& object) {
    const std::shared_ptr<NSObject>& reference = *object.referenceIf();
    if (auto uid = known(reference.get())) {
        return uid;
    }
    const auto* coding = dynamic_cast<const NSCoding*>(reference.get());
    if (coding == nullptr) {
        return fail();
    }
    DepthScope scope(depth);
    if (scope.tooDeep()) {
        return fail();
    }
    const std::uint64_t uid = reserve(reference.get(), object);
    PropertyListNode dictionary(plist_new_dict());
    containers.push_back(dictionary.get());
    struct PopOnExit {
        std::vector<void*>& containers;
        ~PopOnExit() { containers.pop_back(); }
    } pop{containers};
    coding->encode(coder);
    if (failed) {
        return std::nullopt;
    }
    return complete(uid, std::move(dictionary), classUid(reference->className(), {"NSObject"}));
}

std::optional<std::uint64_t> NSKeyedArchiver::State::classUid(
    const std::string& name, std::initializer_list<const char*> superclasses) {
    if (auto found = classes.find(name); found != classes.end()) {
        return found->second;
    }
    if (name.find('\0') != std::string::npos || !isValidUTF8(name)) {
        return std::nullopt;
    }
    PropertyListNode hierarchy(plist_new_array());
    plist_array_append_item(hierarchy.get(), plist_new_string(name.c_str()));
    for (const char* superclass : superclasses) {
        plist_array_append_item(hierarchy.get(), plist_new_string(superclass));
    }
    PropertyListNode descriptor(plist_new_dict());
    plist_dict_set_item(descriptor.get(), "$classname", plist_new_string(name.c_str()));
    plist_dict_set_item(descriptor.get(), "$classes", hierarchy.release());
    const std::uint64_t uid = append(descriptor.release());
    classes.emplace(name, uid);
    return uid;
}

PropertyListNode NSKeyedArchiver::State::finish(std::uint64_t rootUid) {
    PropertyListNode root(plist_new_dict());
    plist_dict_set_item(root.get(), "$version", plist_new_uint(100000));
    plist_dict_set_item(root.get(), "$archiver", plist_new_string("NSKeyedArchiver"));
    void* top = plist_new_dict();
    plist_dict_set_item(top, "root", plist_new_uid(rootUid));
    plist_dict_set_item(root.get(), "$top", top);
    void* list = plist_new_array();
    for (PropertyListNode& object : objects) {
        plist_array_append_item(list, object.release());
    }
    plist_dict_set_item(root.get(), "$objects", list);
    return root;
}

NSKeyedArchiver::NSKeyedArchiver() : state_(std::make_unique<State>(*this)) {}

NSKeyedArchiver::~NSKeyedArchiver() = default;

std::optional<Data> NSKeyedArchiver::archivedData(const Object& rootObject) {
    NSKeyedArchiver archiver;
    State& state = *archiver.state_;
    const auto rootUid = state.write(rootObject);
    if (!rootUid || state.failed) {
        return std::nullopt;
    }
    for (const PropertyListNode& object : state.objects) {
        if (!object) {
            return std::nullopt;
        }
    }
    PropertyListNode root = state.finish(*rootUid);
    return BinaryPropertyList::serialize(root.get());
}

void NSKeyedArchiver::encodeObject(const Object& object, std::string_view key) {
    void* container = state_->currentContainer();
    auto stored = archiveStoredKey(key);
    if (container == nullptr || !stored) {
        state_->failed = true;
        return;
    }
    if (auto uid = state_->write(object)) {
        plist_dict_set_item(container, stored->c_str(), plist_new_uid(*uid));
    }
}

namespace {

// Stores a plain value under `key` in `container`, or reports failure.
bool storeValue(void* container, std::string_view key, void* value) {
    PropertyListNode node(value);
    auto stored = archiveStoredKey(key);
    if (container == nullptr || !stored) {
        return false;
    }
    plist_dict_set_item(container, stored->c_str(), node.release());
    return true;
}

[[noreturn]] void throwNotDecoding() {
    throw NSException("NSInvalidArgumentException", "NSKeyedArchiver only encodes; use NSKeyedUnarchiver");
}

}  // namespace

void NSKeyedArchiver::encodeBool(bool value, std::string_view key) {
    if (!storeValue(state_->currentContainer(), key, plist_new_bool(value ? 1 : 0))) {
        state_->failed = true;
    }
}

void NSKeyedArchiver::encodeInteger(std::int64_t value, std::string_view key) {
    if (!storeValue(state_->currentContainer(), key, plist_new_uint(static_cast<std::uint64_t>(value)))) {
        state_->failed = true;
    }
}

void NSKeyedArchiver::encodeDouble(double value, std::string_view key) {
    if (!storeValue(state_->currentContainer(), key, plist_new_real(value))) {
        state_->failed = true;
    }
}

bool NSKeyedArchiver::containsValue(std::string_view) const {
    throwNotDecoding();
}

std::optional<Object> NSKeyedArchiver::decodeObject(std::string_view) {
    throwNotDecoding();
}

bool NSKeyedArchiver::decodeBool(std::string_view) {
    throwNotDecoding();
}

std::int64_t NSKeyedArchiver::decodeInteger(std::string_view) {
    throwNotDecoding();
}

double NSKeyedArchiver::decodeDouble(std::string_view) {
    throwNotDecoding();
}

}  // namespace orvane
