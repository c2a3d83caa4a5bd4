#include "Platform/Archive/BinaryPropertyList.hpp"
#include "Platform/Foundation/NSException.hpp"
#include "Platform/Archive/NSKeyedArchiver.hpp"
#include "Platform/Archive/NSKeyedUnarchiver.hpp"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <unistd.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace keyedarchivetests {

using orvane::Data;
using orvane::NSKeyedArchiver;
using orvane::NSKeyedUnarchiver;
using orvane::Object;
using orvane::ObjectArray;
using orvane::ObjectDictionary;

// Archives the number 1 under "sentinel" and builds itself back only from that.
class Sentinel : public orvane::NSObject, public orvane::NSCoding {
public:
    void encode(orvane::NSCoder& coder) const override { coder.encodeObject(Object(value), "sentinel"); }
    static std::shared_ptr<Sentinel> initWithCoder(orvane::NSCoder& coder) {
        auto stored = coder.decodeObject("sentinel");
        if (!stored || !stored->isNumber() || !(*stored == Object(1))) {
            return nullptr;
        }
        return std::make_shared<Sentinel>();
    }
    std::int64_t value = 1;
};

// Every scalar operation, an optional child and a key that needs escaping.
class Record : public orvane::NSObject, public orvane::NSCoding {
public:
    void encode(orvane::NSCoder& coder) const override {
        coder.encodeBool(flag, "flag");
        coder.encodeInteger(count, "count");
        coder.encodeDouble(ratio, "ratio");
        coder.encodeObject(Object(name), "$class");
        if (child) {
            coder.encodeObject(Object(child), "child");
        }
    }
    static std::shared_ptr<Record> initWithCoder(orvane::NSCoder& coder) {
        auto record = std::make_shared<Record>();
        record->flag = coder.decodeBool("flag");
        record->count = coder.decodeInteger("count");
        record->ratio = coder.decodeDouble("ratio");
        record->name = coder.decodeObject("$class").value_or(Object()).as<std::string>().value_or("?");
        if (auto child = coder.decodeObject("child")) {
            record->child = child->as<std::shared_ptr<orvane::NSObject>>().value_or(nullptr);
        }
        record->sawMissingKeyAsAbsent = !coder.containsValue("missing") && !coder.decodeObject("missing") &&
                                        coder.decodeInteger("missing") == 0 && !coder.decodeBool("$class");
        return record;
    }
    bool flag = false;
    std::int64_t count = 0;
    double ratio = 0;
    std::string name;
    std::shared_ptr<orvane::NSObject> child;
    bool sawMissingKeyAsAbsent = false;
};

// An object that is not archivable.
class Plain : public orvane::NSObject {};

// Misuses the coder it is given.
class Confused : public orvane::NSObject, public orvane::NSCoding {
public:
    void encode(orvane::NSCoder& coder) const override { coder.decodeObject("anything"); }
    static std::shared_ptr<Confused> initWithCoder(orvane::NSCoder& coder) {
        coder.encodeInteger(1, "anything");
        return std::make_shared<Confused>();
    }
};

std::vector<orvane::CodingClass> allClasses() {
    return {orvane::codingClass<Sentinel>(), orvane::codingClass<Record>(), orvane::codingClass<Confused>()};
}

Object roundTrip(const Object& object) {
    auto archive = NSKeyedArchiver::archivedData(object);
    if (!archive) {
        ADD_FAILURE() << "could not archive " << object.description();
        return Object("<not archived>");
    }
    const auto classes = allClasses();
    auto back = NSKeyedUnarchiver::unarchiveObject(*archive, classes);
    if (!back) {
        ADD_FAILURE() << "could not unarchive " << object.description();
        return Object("<not unarchived>");
    }
    return *back;
}

// ---------------------------------------------------------------------------
// Direct views of an archive through libplist.

struct Archive {
    explicit Archive(const Data& data) {
        plist_t root = nullptr;
        plist_from_bin(reinterpret_cast<const char*>(data.data()), static_cast<std::uint32_t>(data.size()),
                       &root);
        tree = orvane::PropertyListNode(root);
    }
    plist_t get(const char* key) const { return plist_dict_get_item(tree.get(), key); }
    plist_t object(std::uint64_t uid) const {
        return plist_array_get_item(get("$objects"), static_cast<std::uint32_t>(uid));
    }
    std::uint32_t objectCount() const { return plist_array_get_size(get("$objects")); }
    orvane::PropertyListNode tree;
};

std::string text(plist_t node) {
    if (plist_get_node_type(node) != PLIST_STRING) {
        return "<not a string>";
    }
    std::uint64_t length = 0;
    const char* pointer = plist_get_string_ptr(node, &length);
    return std::string(pointer, length);
}

std::uint64_t uid(plist_t node) {
    EXPECT_EQ(plist_get_node_type(node), PLIST_UID);
    std::uint64_t value = 0;
    plist_get_uid_val(node, &value);
    return value;
}

std::uint64_t unsignedValue(plist_t node) {
    EXPECT_EQ(plist_get_node_type(node), PLIST_UINT);
    std::uint64_t value = 0;
    plist_get_uint_val(node, &value);
    return value;
}

std::vector<std::string> strings(plist_t array) {
    std::vector<std::string> result;
    for (std::uint32_t index = 0; index < plist_array_get_size(array); ++index) {
        result.push_back(text(plist_array_get_item(array, index)));
    }
    return result;
}

std::vector<std::uint64_t> uids(plist_t array) {
    std::vector<std::uint64_t> result;
    for (std::uint32_t index = 0; index < plist_array_get_size(array); ++index) {
        result.push_back(uid(plist_array_get_item(array, index)));
    }
    return result;
}

// The UID of the class entry of the object at `objectUid`, after checking
// that entry's layout: {"$classname": name, "$classes": [name, ..., "NSObject"]}.
std::uint64_t classOf(const Archive& archive, std::uint64_t objectUid, const std::string& name) {
    const std::uint64_t classUid = uid(plist_dict_get_item(archive.object(objectUid), "$class"));
    plist_t descriptor = archive.object(classUid);
    EXPECT_EQ(plist_dict_get_size(descriptor), 2u);
    EXPECT_EQ(text(plist_dict_get_item(descriptor, "$classname")), name);
    EXPECT_EQ(strings(plist_dict_get_item(descriptor, "$classes")),
              (std::vector<std::string>{name, "NSObject"}));
    return classUid;
}

// ---------------------------------------------------------------------------
// Hand-made archives for the decoder's checks.

Data binary(plist_t root) {
    orvane::PropertyListNode owned(root);
    return orvane::BinaryPropertyList::serialize(owned.get()).value();
}

plist_t uidArray(std::initializer_list<std::uint64_t> values) {
    plist_t array = plist_new_array();
    for (std::uint64_t value : values) {
        plist_array_append_item(array, plist_new_uid(value));
    }
    return array;
}

plist_t classEntry(const char* name) {
    plist_t entry = plist_new_dict();
    plist_dict_set_item(entry, "$classname", plist_new_string(name));
    plist_t classes = plist_new_array();
    plist_array_append_item(classes, plist_new_string(name));
    plist_array_append_item(classes, plist_new_string("NSObject"));
    plist_dict_set_item(entry, "$classes", classes);
    return entry;
}

// {"$class": UID(classUid), key: value...}
plist_t instance(std::uint64_t classUid,
                 std::initializer_list<std::pair<const char*, plist_t>> entries = {}) {
    plist_t object = plist_new_dict();
    for (const auto& [key, value] : entries) {
        plist_dict_set_item(object, key, value);
    }
    plist_dict_set_item(object, "$class", plist_new_uid(classUid));
    return object;
}

// A keyed archive around the given "$objects" (after "$null") and root UID;
// `edit` may then break the root dictionary.
Data keyedArchive(
    const std::vector<plist_t>& objects, plist_t rootUid = plist_new_uid(1),
    const std::function<void(plist_t)>& edit = [](plist_t) {}) {
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "$version", plist_new_uint(100000));
    plist_dict_set_item(root, "$archiver", plist_new_string("NSKeyedArchiver"));
    plist_t top = plist_new_dict();
    plist_dict_set_item(top, "root", rootUid);
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

std::optional<Object> unarchive(const Data& data) {
    const auto classes = allClasses();
    return NSKeyedUnarchiver::unarchiveObject(data, classes);
}

}  // namespace keyedarchivetests

using namespace keyedarchivetests;

// ---------------------------------------------------------------------------
// Round trips

TEST(KeyedArchive, roundTripsEveryScalarKind) {
    // Numbers keep their kind: a Boolean stays a Boolean, 3.0 a double.
    const std::vector<Object> numbers = {
        Object(true),
        Object(false),
        Object(0),
        Object(1),
        Object(-1),
        Object(std::numeric_limits<std::int64_t>::min()),
        Object(std::numeric_limits<std::int64_t>::max()),
        Object(std::int64_t{1} << 40),
        Object(-(std::int64_t{1} << 33)),
        Object(0.1),
        Object(-2.5),
        Object(1e300),
        Object(std::numeric_limits<double>::infinity()),
        Object(3.0),
    };
    for (const Object& number : numbers) {
        const Object back = roundTrip(number);
        EXPECT_EQ(back.kind(), number.kind()) << number.description();
        EXPECT_EQ(back, number) << number.description();
    }
    EXPECT_TRUE(std::isnan(*roundTrip(Object(std::nan(""))).realIf()));

    for (const std::string& value :
         {std::string(), std::string("plain"), std::string("h\xC3\xA9llo \xE2\x9C\x93"),
          std::string("a\0b", 3), std::string("\0", 1), std::string("$null")}) {
        EXPECT_EQ(roundTrip(Object(value)), Object(value)) << value;
    }
    const std::uint8_t bytes[] = {0, 1, 0, 0xFF, 0};
    for (const Data& data : {Data(), Data(bytes, sizeof bytes), Data(std::string(3000, 'z'))}) {
        EXPECT_EQ(roundTrip(Object(data)), Object(data));
    }
    for (double seconds : {0.0, 123.5, -86400.25, 7.0e8}) {
        const Object date(orvane::Date::fromTimeIntervalSinceReferenceDate(seconds));
        EXPECT_EQ(roundTrip(date), date) << seconds;
    }
    EXPECT_TRUE(roundTrip(Object()).isNull());
}

TEST(KeyedArchive, roundTripsNestedCollections) {
    const Object shared(ObjectArray{Object(1), Object("one")});
    const Object nested(ObjectDictionary{
        {"empty array", Object(ObjectArray{})},
        {"empty dictionary", Object(ObjectDictionary{})},
        {"list", Object(ObjectArray{Object(1), Object(-2.5), Object("x"), Object(), Object(true),
                                    Object(ObjectArray{Object(ObjectArray{Object("deep")})})})},
        {std::string("key\0with nul", 12), Object(std::string("value\0", 6))},
        {"$starts with dollar", Object("fine")},
        {"shared twice", Object(ObjectArray{shared, shared})},
        {"inner", Object(ObjectDictionary{{"date", Object(orvane::Date::fromTimeIntervalSince1970(1.5e9))},
                                          {"null", Object()}})},
    });
    EXPECT_EQ(roundTrip(nested), nested);
}

TEST(KeyedArchive, nestingIsBoundedTheSameWayBothWays) {
    auto nested = [](std::size_t levels) {
        Object object("bottom");
        for (std::size_t level = 0; level < levels; ++level) {
            object = Object(ObjectArray{object});
        }
        return object;
    };
    const Object deepest = nested(orvane::keyedArchiveMaximumDepth);
    EXPECT_EQ(roundTrip(deepest), deepest);
    EXPECT_FALSE(NSKeyedArchiver::archivedData(nested(orvane::keyedArchiveMaximumDepth + 1)));
}

TEST(KeyedArchive, roundTripsUserClasses) {
    auto archive = NSKeyedArchiver::archivedData(Object(std::make_shared<Sentinel>()));
    ASSERT_TRUE(archive);
    EXPECT_TRUE(NSKeyedUnarchiver::unarchivedObject<Sentinel>(*archive));
    // The wrong class, or none listed, yields nothing.
    EXPECT_FALSE(NSKeyedUnarchiver::unarchivedObject<Record>(*archive));
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiveObject(*archive));
    const std::vector<orvane::CodingClass> others = {orvane::codingClass<Record>()};
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiveObject(*archive, others));

    // A factory that refuses what it reads yields nothing.
    auto two = std::make_shared<Sentinel>();
    two->value = 2;
    EXPECT_FALSE(NSKeyedUnarchiver::unarchivedObject<Sentinel>(*NSKeyedArchiver::archivedData(Object(two))));

    auto record = std::make_shared<Record>();
    record->flag = true;
    record->count = -42;
    record->ratio = 0.25;
    record->name = "outer";
    record->child = std::make_shared<Sentinel>();
    auto back = NSKeyedUnarchiver::unarchivedObject<Record>(*NSKeyedArchiver::archivedData(Object(record)),
                                                            {orvane::codingClass<Sentinel>()});
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->flag);
    EXPECT_EQ(back->count, -42);
    EXPECT_EQ(back->ratio, 0.25);
    EXPECT_EQ(back->name, "outer");
    EXPECT_TRUE(std::dynamic_pointer_cast<Sentinel>(back->child));
    EXPECT_TRUE(back->sawMissingKeyAsAbsent);

    // A listed outer class with an unlisted inner one yields nothing.
    EXPECT_FALSE(NSKeyedUnarchiver::unarchivedObject<Record>(*NSKeyedArchiver::archivedData(Object(record))));
}

TEST(KeyedArchive, sharedReferencesStayShared) {
    auto sentinel = std::make_shared<Sentinel>();
    auto back = roundTrip(Object(ObjectArray{Object(sentinel), Object(sentinel)}));
    const ObjectArray* array = back.arrayIf();
    ASSERT_TRUE(array != nullptr && array->size() == 2);
    EXPECT_TRUE((*array)[0].referenceIf() != nullptr);
    EXPECT_EQ((*array)[0].referenceIf()->get(), (*array)[1].referenceIf()->get());
}

TEST(KeyedArchive, reportsWhatCannotBeArchived) {
    EXPECT_FALSE(NSKeyedArchiver::archivedData(Object::box(std::pair{1, 2})));
    EXPECT_FALSE(NSKeyedArchiver::archivedData(Object(std::make_shared<Plain>())));
    EXPECT_FALSE(
        NSKeyedArchiver::archivedData(Object(ObjectArray{Object(1), Object(std::make_shared<Plain>())})));
    EXPECT_FALSE(NSKeyedArchiver::archivedData(Object("\xC3")));
    EXPECT_FALSE(NSKeyedArchiver::archivedData(Object(ObjectDictionary{{"\xFF", Object(1)}})));

    // A coder key with a NUL byte cannot be stored.
    class NulKey : public orvane::NSObject, public orvane::NSCoding {
    public:
        void encode(orvane::NSCoder& coder) const override {
            coder.encodeInteger(1, std::string_view("a\0b", 3));
        }
    };
    EXPECT_FALSE(NSKeyedArchiver::archivedData(Object(std::make_shared<NulKey>())));
}

TEST(KeyedArchive, eachCoderRefusesTheOtherDirection) {
    EXPECT_THROW(NSKeyedArchiver::archivedData(Object(std::make_shared<Confused>())), orvane::NSException);
    // The unarchiver's factory throws inside decoding, which makes the result absent.
    const Data archive = keyedArchive({instance(2), classEntry("keyedarchivetests.Confused")});
    EXPECT_FALSE(unarchive(archive));
}

// ---------------------------------------------------------------------------
// The layout, read back through libplist

TEST(KeyedArchive, writesThePlatformLayout) {
    auto data = NSKeyedArchiver::archivedData(Object(ObjectDictionary{{"a", Object(1)}, {"b", Object("x")}}));
    ASSERT_TRUE(data);
    ASSERT_EQ(std::string(reinterpret_cast<const char*>(data->data()), 8), "bplist00");
    Archive archive(*data);
    ASSERT_TRUE(archive.tree);
    EXPECT_EQ(plist_dict_get_size(archive.tree.get()), 4u);
    EXPECT_EQ(text(archive.get("$archiver")), "NSKeyedArchiver");
    EXPECT_EQ(unsignedValue(archive.get("$version")), 100000u);
    EXPECT_EQ(plist_dict_get_size(archive.get("$top")), 1u);
    EXPECT_EQ(uid(plist_dict_get_item(archive.get("$top"), "root")), 1u);
    EXPECT_EQ(text(archive.object(0)), "$null");

    // ["$null", {NS.keys, NS.objects, $class}, "a", "b", 1, "x", NSDictionary class]
    ASSERT_EQ(archive.objectCount(), 7u);
    plist_t dictionary = archive.object(1);
    EXPECT_EQ(plist_dict_get_size(dictionary), 3u);
    EXPECT_EQ(uids(plist_dict_get_item(dictionary, "NS.keys")), (std::vector<std::uint64_t>{2, 3}));
    EXPECT_EQ(uids(plist_dict_get_item(dictionary, "NS.objects")), (std::vector<std::uint64_t>{4, 5}));
    EXPECT_EQ(text(archive.object(2)), "a");
    EXPECT_EQ(text(archive.object(3)), "b");
    EXPECT_EQ(unsignedValue(archive.object(4)), 1u);
    EXPECT_EQ(text(archive.object(5)), "x");
    EXPECT_EQ(classOf(archive, 1, "NSDictionary"), 6u);
}

TEST(KeyedArchive, writesEachKindAsThePlatformDoesAndUniquesStringsAndClasses) {
    const Object date(orvane::Date::fromTimeIntervalSinceReferenceDate(12.5));
    auto data = NSKeyedArchiver::archivedData(
        Object(ObjectArray{Object(-3), Object(true), Object(0.5), Object(Data("d")), date, Object(), date,
                           Object("x"), Object("x"), Object(ObjectArray{Object("x")})}));
    ASSERT_TRUE(data);
    Archive archive(*data);
    const auto members = uids(plist_dict_get_item(archive.object(1), "NS.objects"));
    ASSERT_EQ(members.size(), 10u);
    // A negative integer travels as the bits of an int64.
    EXPECT_EQ(static_cast<std::int64_t>(unsignedValue(archive.object(members[0]))), -3);
    EXPECT_EQ(plist_get_node_type(archive.object(members[1])), PLIST_BOOLEAN);
    EXPECT_EQ(plist_get_node_type(archive.object(members[2])), PLIST_REAL);
    EXPECT_EQ(plist_get_node_type(archive.object(members[3])), PLIST_DATA);

    double seconds = 0;
    plist_get_real_val(plist_dict_get_item(archive.object(members[4]), "NS.time"), &seconds);
    EXPECT_EQ(seconds, 12.5);
    const auto dateClass = classOf(archive, members[4], "NSDate");
    EXPECT_EQ(plist_dict_get_size(archive.object(members[5])), 1u);
    classOf(archive, members[5], "NSNull");
    // Equal dates are separate objects sharing one class entry; equal
    // strings are one object.
    EXPECT_NE(members[6], members[4]);
    EXPECT_EQ(uid(plist_dict_get_item(archive.object(members[6]), "$class")), dateClass);
    EXPECT_EQ(members[7], members[8]);
    EXPECT_EQ(uids(plist_dict_get_item(archive.object(members[9]), "NS.objects")),
              (std::vector<std::uint64_t>{members[7]}));
    // The outer array's class entry comes last, after everything it holds,
    // and the inner array shares it.
    const auto arrayClass = classOf(archive, 1, "NSArray");
    EXPECT_EQ(arrayClass, archive.objectCount() - 1);
    EXPECT_EQ(uid(plist_dict_get_item(archive.object(members[9]), "$class")), arrayClass);
}

TEST(KeyedArchive, writesUserClassesWithTheirClassEntryAfterTheirFields) {
    auto record = std::make_shared<Record>();
    record->count = -7;
    record->flag = true;
    record->child = std::make_shared<Sentinel>();
    auto data = NSKeyedArchiver::archivedData(Object(record));
    ASSERT_TRUE(data);
    Archive archive(*data);
    plist_t object = archive.object(1);
    // Scalars are stored in place, objects by UID; "$class" the key became "$$class".
    EXPECT_EQ(plist_get_node_type(plist_dict_get_item(object, "flag")), PLIST_BOOLEAN);
    EXPECT_EQ(static_cast<std::int64_t>(unsignedValue(plist_dict_get_item(object, "count"))), -7);
    EXPECT_EQ(plist_get_node_type(plist_dict_get_item(object, "ratio")), PLIST_REAL);
    EXPECT_EQ(text(archive.object(uid(plist_dict_get_item(object, "$$class")))), "");
    const std::uint64_t child = uid(plist_dict_get_item(object, "child"));
    const std::uint64_t sentinel = uid(plist_dict_get_item(archive.object(child), "sentinel"));
    EXPECT_EQ(unsignedValue(archive.object(sentinel)), 1u);

    const std::uint64_t sentinelClass = classOf(archive, child, "keyedarchivetests.Sentinel");
    const std::uint64_t recordClass = classOf(archive, 1, "keyedarchivetests.Record");
    EXPECT_GT(sentinelClass, sentinel);
    EXPECT_GT(recordClass, sentinelClass);
    EXPECT_EQ(recordClass, archive.objectCount() - 1);
}

TEST(KeyedArchive, pythonPlistlibReadsTheArchive) {
    if (access("/usr/bin/python3", X_OK) != 0) {
        GTEST_SKIP() << "no /usr/bin/python3";
    }
    auto data = NSKeyedArchiver::archivedData(Object(ObjectDictionary{
        {"name", Object("vault")}, {"count", Object(3)}, {"ratio", Object(0.5)}, {"negative", Object(-9)}}));
    ASSERT_TRUE(data);
    const auto directory =
        std::filesystem::temp_directory_path() / ("keyed-archive-" + std::to_string(getpid()));
    std::filesystem::create_directories(directory);
    const auto archivePath = directory / "archive.bin";
    const auto scriptPath = directory / "check.py";
    std::ofstream(archivePath, std::ios::binary)
        .write(reinterpret_cast<const char*>(data->data()), static_cast<std::streamsize>(data->size()));
    std::ofstream(scriptPath) << R"(import plistlib, sys
with open(sys.argv[1], 'rb') as f:
    p = plistlib.load(f)
assert p['$archiver'] == 'NSKeyedArchiver', p['$archiver']
assert p['$version'] == 100000
root = p['$top']['root']
assert isinstance(root, plistlib.UID), type(root)
objects = p['$objects']
assert objects[0] == '$null'
d = objects[root.data]
keys = [objects[u.data] for u in d['NS.keys']]
values = [objects[u.data] for u in d['NS.objects']]
cls = objects[d['$class'].data]
print(sorted(zip(keys, values)), cls['$classname'], cls['$classes'])
)";
    const std::string command =
        "/usr/bin/python3 " + scriptPath.string() + " " + archivePath.string() + " 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            output += buffer;
        }
        EXPECT_EQ(pclose(pipe), 0) << output;
    }
    std::filesystem::remove_all(directory);
    EXPECT_EQ(output,
              "[('count', 3), ('name', 'vault'), ('negative', -9), ('ratio', 0.5)] NSDictionary "
              "['NSDictionary', 'NSObject']\n");
}

// ---------------------------------------------------------------------------
// Archives from elsewhere, well formed and not

TEST(KeyedArchive, readsWhatThePlatformAlsoWrites) {
    // Mutable class names, NSString and NSData wrappers, a plain property-list
    // date, and UIDs written as {"CF$UID": n}.
    plist_t cfUid = plist_new_dict();
    plist_dict_set_item(cfUid, "CF$UID", plist_new_uint(1));
    plist_t keyUid = plist_new_dict();
    plist_dict_set_item(keyUid, "CF$UID", plist_new_uint(3));
    plist_t keys = plist_new_array();
    plist_array_append_item(keys, keyUid);
    const Data archive = keyedArchive(
        {
            instance(2, {{"NS.keys", keys}, {"NS.objects", uidArray({4})}}),  // 1
            classEntry("NSMutableDictionary"),                                // 2
            plist_new_string("list"),                                         // 3
            instance(5, {{"NS.objects", uidArray({6, 8, 10})}}),              // 4
            classEntry("NSMutableArray"),                                     // 5
            instance(7, {{"NS.string", plist_new_string("text")}}),           // 6
            classEntry("NSMutableString"),                                    // 7
            instance(9, {{"NS.data", plist_new_data("\x01\x00", 2)}}),        // 8
            classEntry("NSMutableData"),                                      // 9
            plist_new_date(100, 500000),                                      // 10
        },
        cfUid);
    const auto back = unarchive(archive);
    ASSERT_TRUE(back);
    const Object expected(ObjectDictionary{
        {"list", Object(ObjectArray{Object("text"), Object(Data("\x01\x00", 2)),
                                    Object(orvane::Date::fromTimeIntervalSinceReferenceDate(100.5))})}});
    EXPECT_EQ(*back, expected);
}

TEST(KeyedArchive, refusesArchivesWithTheWrongShape) {
    auto withRoot = [](const std::function<void(plist_t)>& edit) {
        return keyedArchive({plist_new_string("fine")}, plist_new_uid(1), edit);
    };
    EXPECT_EQ(unarchive(withRoot([](plist_t) {})), Object("fine"));
    EXPECT_FALSE(
        unarchive(withRoot([](plist_t r) { plist_dict_set_item(r, "$objects", plist_new_dict()); })));
    EXPECT_FALSE(
        unarchive(withRoot([](plist_t r) { plist_dict_set_item(r, "$objects", plist_new_array()); })));
    EXPECT_FALSE(unarchive(withRoot([](plist_t r) {
        plist_array_set_item(plist_dict_get_item(r, "$objects"), plist_new_string("null"), 0);
    })));
    EXPECT_FALSE(unarchive(withRoot([](plist_t r) { plist_dict_remove_item(r, "$archiver"); })));
    EXPECT_FALSE(
        unarchive(withRoot([](plist_t r) { plist_dict_set_item(r, "$archiver", plist_new_string("X")); })));
    EXPECT_FALSE(
        unarchive(withRoot([](plist_t r) { plist_dict_set_item(r, "$version", plist_new_uint(99999)); })));
    EXPECT_FALSE(unarchive(withRoot([](plist_t r) { plist_dict_set_item(r, "$top", plist_new_uid(1)); })));
    EXPECT_FALSE(unarchive(withRoot(
        [](plist_t r) { plist_dict_set_item(plist_dict_get_item(r, "$top"), "root", plist_new_uint(1)); })));
    EXPECT_FALSE(unarchive(withRoot(
        [](plist_t r) { plist_dict_set_item(plist_dict_get_item(r, "$top"), "root", plist_new_uid(2)); })));
    // UID 0 is "$null", nil: no root object.
    EXPECT_FALSE(unarchive(withRoot(
        [](plist_t r) { plist_dict_set_item(plist_dict_get_item(r, "$top"), "root", plist_new_uid(0)); })));
    // Not an archive at all.
    plist_t array = plist_new_array();
    EXPECT_FALSE(unarchive(binary(array)));
    EXPECT_FALSE(unarchive(Data()));
    EXPECT_FALSE(unarchive(Data("bplist00")));
}

TEST(KeyedArchive, refusesMalformedObjects) {
    auto refused = [](const std::vector<plist_t>& objects) { return !unarchive(keyedArchive(objects)); };
    // Members and class references out of range, or not UIDs.
    EXPECT_TRUE(refused({instance(2, {{"NS.objects", uidArray({9})}}), classEntry("NSArray")}));
    EXPECT_TRUE(refused({instance(7), classEntry("NSArray")}));
    EXPECT_TRUE(refused({instance(0), classEntry("NSArray")}));
    EXPECT_TRUE(refused({instance(2, {{"NS.objects", plist_new_uint(1)}}), classEntry("NSArray")}));
    // An array holding nil, or an object that is a class entry or a bare UID.
    EXPECT_TRUE(refused({instance(2, {{"NS.objects", uidArray({0})}}), classEntry("NSArray")}));
    EXPECT_TRUE(refused({instance(2, {{"NS.objects", uidArray({2})}}), classEntry("NSArray")}));
    EXPECT_TRUE(refused({plist_new_uid(1)}));
    EXPECT_TRUE(refused({plist_new_dict()}));
    // Broken class entries.
    plist_t nameless = plist_new_dict();
    plist_dict_set_item(nameless, "$classes", plist_new_array());
    EXPECT_TRUE(refused({instance(2), nameless}));
    plist_t badHierarchy = classEntry("NSNull");
    plist_array_append_item(plist_dict_get_item(badHierarchy, "$classes"), plist_new_uint(5));
    EXPECT_TRUE(refused({instance(2), badHierarchy}));
    EXPECT_TRUE(refused({instance(2), plist_new_string("NSNull")}));
    // Dictionaries: keys that are not strings, counts that differ.
    EXPECT_TRUE(refused({instance(2, {{"NS.keys", uidArray({3})}, {"NS.objects", uidArray({3})}}),
                         classEntry("NSDictionary"), plist_new_uint(4)}));
    EXPECT_TRUE(refused({instance(2, {{"NS.keys", uidArray({3, 3})}, {"NS.objects", uidArray({3})}}),
                         classEntry("NSDictionary"), plist_new_string("k")}));
    EXPECT_TRUE(refused(
        {instance(2, {{"NS.keys", uidArray({3})}}), classEntry("NSDictionary"), plist_new_string("k")}));
    // Wrapped values of the wrong type; unknown classes.
    EXPECT_TRUE(refused({instance(2, {{"NS.time", plist_new_string("soon")}}), classEntry("NSDate")}));
    EXPECT_TRUE(refused({instance(2, {{"NS.string", plist_new_uint(1)}}), classEntry("NSString")}));
    EXPECT_TRUE(refused({instance(2, {{"NS.data", plist_new_string("x")}}), classEntry("NSData")}));
    EXPECT_TRUE(refused({instance(2), classEntry("NSURL")}));
    // A plain property-list array where an object should be.
    EXPECT_TRUE(refused({plist_new_array()}));
}

TEST(KeyedArchive, refusesObjectsThatLeadBackToThemselves) {
    // An array containing itself, and two arrays containing each other.
    EXPECT_FALSE(
        unarchive(keyedArchive({instance(2, {{"NS.objects", uidArray({1})}}), classEntry("NSArray")})));
    EXPECT_FALSE(
        unarchive(keyedArchive({instance(3, {{"NS.objects", uidArray({2})}}),
                                instance(3, {{"NS.objects", uidArray({1})}}), classEntry("NSArray")})));
    // A user object whose field is itself: archiving works, unarchiving refuses.
    auto record = std::make_shared<Record>();
    record->child = record;
    auto archive = NSKeyedArchiver::archivedData(Object(record));
    record->child.reset();
    ASSERT_TRUE(archive);
    EXPECT_FALSE(unarchive(*archive));
}

TEST(KeyedArchive, boundsDepthAndDecodedSize) {
    // 300 arrays, each holding the next.
    auto nested = [](std::size_t levels) {
        std::vector<plist_t> objects{classEntry("NSArray")};
        for (std::uint64_t level = 0; level < levels; ++level) {
            const std::uint64_t next = level + 1 < levels ? level + 3 : 0;
            objects.push_back(instance(1, {{"NS.objects", next ? uidArray({next}) : uidArray({})}}));
        }
        return keyedArchive(objects, plist_new_uid(2));
    };
    EXPECT_TRUE(unarchive(nested(orvane::keyedArchiveMaximumDepth)));
    EXPECT_FALSE(unarchive(nested(orvane::keyedArchiveMaximumDepth + 1)));
    EXPECT_FALSE(unarchive(nested(5000)));

    // A small archive whose array names one 64 KiB string 2000 times would
    // decode to 128 MiB of copies.
    plist_t members = plist_new_array();
    for (int index = 0; index < 2000; ++index) {
        plist_array_append_item(members, plist_new_uid(3));
    }
    const Data wide = keyedArchive({instance(2, {{"NS.objects", members}}), classEntry("NSArray"),
                                    plist_new_string(std::string(65536, 's').c_str())});
    EXPECT_LT(wide.size(), 100000u);
    EXPECT_FALSE(unarchive(wide));
}

TEST(KeyedArchive, refusesXmlArchives) {
    auto data = NSKeyedArchiver::archivedData(Object("text"));
    ASSERT_TRUE(data);
    Archive archive(*data);
    char* xml = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(archive.tree.get(), &xml, &length);
    const Data xmlData(xml, length);
    plist_to_xml_free(xml);
    EXPECT_FALSE(unarchive(xmlData));
}

TEST(KeyedArchive, neverCrashesOnTruncatedOrCorruptedArchives) {
    auto record = std::make_shared<Record>();
    record->child = std::make_shared<Sentinel>();
    auto data = NSKeyedArchiver::archivedData(Object(
        ObjectDictionary{{"record", Object(record)}, {"list", Object(ObjectArray{Object(1), Object("s")})}}));
    ASSERT_TRUE(data);
    ASSERT_TRUE(unarchive(*data));
    const std::string bytes = data->toString();
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        EXPECT_FALSE(unarchive(Data(std::string_view(bytes).substr(0, length)))) << length;
    }
    // Single-byte corruptions may still decode; they must not crash or hang.
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        for (char value : {'\x00', '\x01', '\x0F', '\x7F', '\xFF'}) {
            std::string corrupted = bytes;
            corrupted[at] = value;
            (void)unarchive(Data(corrupted));
        }
    }
}
