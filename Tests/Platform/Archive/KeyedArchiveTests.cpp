#include "Platform/Archive/BinaryPropertyList.hpp"
#include "Platform/Archive/NSKeyedArchiver.hpp"
#include "Platform/Archive/NSKeyedUnarchiver.hpp"
#include "Platform/Archive/UUID.hpp"
#include "Support/PropertyListBuilders.hpp"
#include "Support/TemporaryFolder.hpp"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
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
using orvane::UUID;
using namespace testsupport;

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
// It also reads the fields only archives written elsewhere hold here:
// inline bytes, a 32-bit integer, a float and an array of objects.
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
        record->count = coder.decodeInt64("count");
        record->ratio = coder.decodeDouble("ratio");
        record->name = coder.decodeObject("$class").value_or(Object()).as<std::string>().value_or("?");
        if (auto child = coder.decodeObject("child")) {
            record->child = child->as<std::shared_ptr<orvane::NSObject>>().value_or(nullptr);
        }
        record->small = coder.decodeInt32("small");
        record->level = coder.decodeFloat("level");
        record->bytes = coder.decodeBytes("bytes");
        record->members = coder.decodeArrayOfObjects("members");
        record->sawMissingKeyAsAbsent = !coder.containsValue("missing") && !coder.decodeObject("missing") &&
                                        coder.decodeInteger("missing") == 0 && !coder.decodeBool("$class") &&
                                        !coder.decodeBytes("count") && !coder.decodeArrayOfObjects("$class");
        return record;
    }
    bool flag = false;
    std::int64_t count = 0;
    double ratio = 0;
    std::string name;
    std::shared_ptr<orvane::NSObject> child;
    std::int32_t small = 0;
    float level = 0;
    std::optional<Data> bytes;
    std::optional<ObjectArray> members;
    bool sawMissingKeyAsAbsent = false;
};

// An object that is not archivable.
class Plain : public orvane::NSObject {};

std::optional<Object> unarchive(const Data& data) {
    const std::vector<orvane::CodingClass> classes = {orvane::codingClass<Sentinel>(),
                                                      orvane::codingClass<Record>()};
    return NSKeyedUnarchiver::unarchiveObject(data, classes);
}

Object roundTrip(const Object& object) {
    auto archive = NSKeyedArchiver::archivedData(object);
    auto back = archive ? unarchive(*archive) : std::nullopt;
    if (!back) {
        ADD_FAILURE() << "no round trip for " << object.description();
        return Object("<failed>");
    }
    return *back;
}

// The "$objects" of an archive as Python's plistlib, an independent reader,
// sees them, after checking the archive's frame there.
std::string objectsOf(const std::optional<Data>& archive) {
    testsupport::TemporaryFolder folder;
    const auto path = folder.path() / "archive";
    std::ofstream(path, std::ios::binary) << (archive ? archive->toString() : std::string());
    const std::string command =
        "/usr/bin/python3 -c 'import plistlib, sys; p = plistlib.load(open(sys.argv[1], \"rb\")); "
        "assert (len(p), p[\"$archiver\"], p[\"$version\"], p[\"$top\"]) == "
        "(4, \"NSKeyedArchiver\", 100000, {\"root\": plistlib.UID(1)}), p; print(p[\"$objects\"])' " +
        path.string() + " 2>&1";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    for (char buffer[512]; pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr;) {
        output += buffer;
    }
    EXPECT_EQ(pipe ? pclose(pipe) : -1, 0) << output;
    return output;
}

}  // namespace keyedarchivetests

using namespace keyedarchivetests;

TEST(KeyedArchive, roundTripsEveryValueKeepingNumberKinds) {
    // Numbers keep their kind: a Boolean stays a Boolean, 3.0 a double.
    const std::int64_t lowest = std::numeric_limits<std::int64_t>::min(), large = std::int64_t{1} << 40,
                       highest = std::numeric_limits<std::int64_t>::max();
    const double infinity = std::numeric_limits<double>::infinity();
    const ObjectArray numbers = {true,   false, 0,    -1,    lowest,   highest, large,
                                 -large, 0.1,   -2.5, 1e300, infinity, 3.0};
    const Object back = roundTrip(Object(numbers));
    ASSERT_TRUE(back.arrayIf() && back.arrayIf()->size() == numbers.size());
    for (std::size_t index = 0; index < numbers.size(); ++index) {
        EXPECT_EQ((*back.arrayIf())[index].kind(), numbers[index].kind()) << index;
        EXPECT_EQ((*back.arrayIf())[index], numbers[index]) << index;
    }
    EXPECT_TRUE(std::isnan(*roundTrip(Object(std::nan(""))).realIf()));
    EXPECT_TRUE(roundTrip(Object()).isNull());

    const std::uint8_t bytes[] = {0, 1, 0, 0xFF, 0};
    const Object shared(ObjectArray{Object(1), Object("one")});
    const Object nested(ObjectDictionary{
        {"empty array", Object(ObjectArray{})},
        {"empty dictionary", Object(ObjectDictionary{})},
        {"strings", Object(ObjectArray{Object(""), Object("h\xC3\xA9llo \xE2\x9C\x93"), Object("$null"),
                                       Object(std::string("a\0b", 3)), Object(std::string("\0", 1))})},
        {"data", Object(ObjectArray{Object(Data()), Object(Data(bytes, sizeof bytes)),
                                    Object(Data(std::string(3000, 'z')))})},
        {"dates", Object(ObjectArray{Object(orvane::Date::fromTimeIntervalSinceReferenceDate(-86400.25)),
                                     Object(orvane::Date::fromTimeIntervalSince1970(1.5e9))})},
        {"list",
         Object(ObjectArray{Object(1), Object(), Object(ObjectArray{Object(ObjectArray{Object("deep")})})})},
        {std::string("key\0with nul", 12), Object(std::string("value\0", 6))},
        {"$starts with dollar", Object("fine")},
        {"shared twice", Object(ObjectArray{shared, shared})},
        {"id", Object::box(*UUID::fromString("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"))},
    });
    EXPECT_EQ(roundTrip(nested), nested);
}

TEST(KeyedArchive, roundTripsUserClasses) {
    auto archive = NSKeyedArchiver::archivedData(Object(std::make_shared<Sentinel>()));
    ASSERT_TRUE(archive);
    EXPECT_TRUE(NSKeyedUnarchiver::unarchivedObject<Sentinel>(*archive));
    // A class not listed yields nothing.
    EXPECT_FALSE(NSKeyedUnarchiver::unarchivedObject<Record>(*archive));
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

    // A user object whose field is itself: archiving works, unarchiving refuses.
    record->child = record;
    auto cyclic = NSKeyedArchiver::archivedData(Object(record));
    record->child = std::make_shared<Sentinel>();
    ASSERT_TRUE(cyclic);
    EXPECT_FALSE(unarchive(*cyclic));

    // Shared references stay shared.
    const Object pair = roundTrip(Object(ObjectArray{Object(record->child), Object(record->child)}));
    ASSERT_TRUE(pair.arrayIf() != nullptr && pair.arrayIf()->size() == 2);
    EXPECT_EQ((*pair.arrayIf())[0].referenceIf()->get(), (*pair.arrayIf())[1].referenceIf()->get());
}

TEST(KeyedArchive, reportsWhatCannotBeArchived) {
    EXPECT_FALSE(NSKeyedArchiver::archivedData(Object::box(std::pair{1, 2})));
    EXPECT_FALSE(NSKeyedArchiver::archivedData(Object(std::make_shared<Plain>())));
    EXPECT_FALSE(
        NSKeyedArchiver::archivedData(Object(ObjectArray{Object(1), Object(std::make_shared<Plain>())})));
    EXPECT_FALSE(NSKeyedArchiver::archivedData(Object("\xC3")));

    // A coder key with a NUL byte cannot be stored.
    class NulKey : public orvane::NSObject, public orvane::NSCoding {
    public:
        void encode(orvane::NSCoder& coder) const override {
            coder.encodeInteger(1, std::string_view("a\0b", 3));
        }
    };
    EXPECT_FALSE(NSKeyedArchiver::archivedData(Object(std::make_shared<NulKey>())));
}

TEST(KeyedArchive, writesThePlatformLayout) {
    // Strings are uniqued; each class entry follows the first object of its
    // class and everything that object holds.
    const Object date(orvane::Date::fromTimeIntervalSinceReferenceDate(12.5));
    const auto kinds = NSKeyedArchiver::archivedData(Object(ObjectArray{
        Object(-3), Object(true), Object(0.5), Object(Data("d")), date, Object(), date, Object("x"),
        Object("x"), Object(ObjectArray{Object("x")}), Object(ObjectDictionary{{"a", Object(1)}}),
        Object::box(UUID(UUID::Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}))}));
    EXPECT_EQ(
        objectsOf(kinds),
        R"(['$null', {'NS.objects': [UID(2), UID(3), UID(4), UID(5), UID(6), UID(8), UID(10), UID(11), )"
        R"(UID(11), UID(12), UID(14), UID(18)], '$class': UID(13)}, -3, True, 0.5, b'd', )"
        R"({'NS.time': 12.5, '$class': UID(7)}, {'$classname': 'NSDate', '$classes': ['NSDate', 'NSObject']}, )"
        R"({'$class': UID(9)}, {'$classname': 'NSNull', '$classes': ['NSNull', 'NSObject']}, )"
        R"({'NS.time': 12.5, '$class': UID(7)}, 'x', {'NS.objects': [UID(11)], '$class': UID(13)}, )"
        R"({'$classname': 'NSArray', '$classes': ['NSArray', 'NSObject']}, )"
        R"({'NS.keys': [UID(15)], 'NS.objects': [UID(16)], '$class': UID(17)}, 'a', 1, )"
        R"({'$classname': 'NSDictionary', '$classes': ['NSDictionary', 'NSObject']}, )"
        R"({'NS.uuidbytes': b'\x01\x02\x03\x04\x05\x06\x07\x08\t\n\x0b\x0c\r\x0e\x0f\x10', '$class': UID(19)}, )"
        R"({'$classname': 'NSUUID', '$classes': ['NSUUID', 'NSObject']}])"
        "\n");

    // User objects hold their scalars in place and objects by UID; the key
    // "$class" is stored as "$$class".
    auto record = std::make_shared<Record>();
    record->count = -7;
    record->flag = true;
    record->child = std::make_shared<Sentinel>();
    EXPECT_EQ(
        objectsOf(NSKeyedArchiver::archivedData(Object(record))),
        R"(['$null', {'flag': True, 'count': -7, 'ratio': 0.0, '$$class': UID(2), 'child': UID(3), )"
        R"('$class': UID(6)}, '', {'sentinel': UID(4), '$class': UID(5)}, 1, )"
        R"({'$classname': 'keyedarchivetests.Sentinel', )"
        R"('$classes': ['keyedarchivetests.Sentinel', 'NSObject']}, )"
        R"({'$classname': 'keyedarchivetests.Record', '$classes': ['keyedarchivetests.Record', 'NSObject']}])"
        "\n");
}

TEST(KeyedArchive, readsWhatThePlatformAlsoWrites) {
    // Mutable class names, NSString and NSData wrappers, sets, a UUID, a
    // plain property-list date, and UIDs written as {"CF$UID": n}.
    auto cfUid = [](std::uint64_t uid) {
        plist_t dictionary = plist_new_dict();
        plist_dict_set_item(dictionary, "CF$UID", plist_new_uint(uid));
        return dictionary;
    };
    plist_t keys = plist_new_array();
    plist_array_append_item(keys, cfUid(3));
    const char uuid[] = "\xE6\x21\xE1\xF8\xC3\x6C\x49\x5A\x93\xFC\x0C\x24\x7A\x3E\x6E\x5F";
    const Data archive = keyedArchive(
        {
            instance(2, {{"NS.keys", keys}, {"NS.objects", uidArray({4})}}),  // 1
            classEntry("NSMutableDictionary"),                                // 2
            plist_new_string("list"),                                         // 3
            instance(5, {{"NS.objects", uidArray({6, 8, 10, 11, 13, 15})}}),  // 4
            classEntry("NSMutableArray"),                                     // 5
            instance(7, {{"NS.string", plist_new_string("text")}}),           // 6
            classEntry("NSMutableString"),                                    // 7
            instance(9, {{"NS.data", plist_new_data("\x01\x00", 2)}}),        // 8
            classEntry("NSMutableData"),                                      // 9
            plist_new_date(100, 500000),                                      // 10
            instance(12, {{"NS.objects", uidArray({3, 6})}}),                 // 11
            classEntry("NSSet"),                                              // 12
            instance(14, {{"NS.objects", uidArray({})}}),                     // 13
            classEntry("NSMutableSet"),                                       // 14
            instance(16, {{"NS.uuidbytes", plist_new_data(uuid, 16)}}),       // 15
            classEntry("NSUUID"),                                             // 16
        },
        cfUid(1));
    const auto back = unarchive(archive);
    ASSERT_TRUE(back);
    const Object expected(ObjectDictionary{
        {"list", Object(ObjectArray{
                     Object("text"), Object(Data("\x01\x00", 2)),
                     Object(orvane::Date::fromTimeIntervalSinceReferenceDate(100.5)),
                     Object(ObjectArray{Object("list"), Object("text")}), Object(ObjectArray{}),
                     Object::box(UUID::fromString("E621E1F8-C36C-495A-93FC-0C247A3E6E5F").value())})}});
    EXPECT_EQ(*back, expected);
    EXPECT_EQ(back->dictionaryIf()->at("list").arrayIf()->back().as<UUID>()->uuidString(),
              "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
}

TEST(KeyedArchive, aUserClassReadsEveryKindOfField) {
    auto record = [](std::int64_t small, double level = 0.75) {
        const Data archive = keyedArchive({
            instance(2, {{"small", plist_new_uint(static_cast<std::uint64_t>(small))},
                         {"count", plist_new_uint(static_cast<std::uint64_t>(std::int64_t{-1} << 40))},
                         {"level", plist_new_real(level)},
                         {"bytes", plist_new_data("\x00\xFF", 2)},
                         {"members", plist_new_uid(3)}}),
            classEntry("keyedarchivetests.Record"),
            instance(4, {{"NS.objects", uidArray({5})}}),
            classEntry("NSSet"),
            plist_new_string("member"),
        });
        return NSKeyedUnarchiver::unarchivedObject<Record>(archive);
    };
    const auto read = record(std::numeric_limits<std::int32_t>::min());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->small, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(read->count, std::int64_t{-1} << 40);
    EXPECT_EQ(read->level, 0.75f);
    EXPECT_EQ(read->bytes, Data("\x00\xFF", 2));
    EXPECT_EQ(read->members, ObjectArray{Object("member")});
    // A value too large for the field fails the whole object, not cut short.
    EXPECT_TRUE(record(std::numeric_limits<std::int32_t>::max()));
    EXPECT_FALSE(record(std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1));
    EXPECT_FALSE(record(0, 1e39));
}

TEST(KeyedArchive, opensTheRootUnderAChosenTopLevelKey) {
    const Data archive = keyedArchive(
        {plist_new_string("first"), plist_new_string("second")}, plist_new_uid(1),
        [](plist_t root) { plist_dict_set_item(plist_dict_get_item(root, "$top"), "$1", plist_new_uid(2)); },
        "$0");
    EXPECT_EQ(NSKeyedUnarchiver::unarchiveTopLevelObject(archive, "$0"), Object("first"));
    EXPECT_EQ(NSKeyedUnarchiver::unarchiveTopLevelObject(archive, "$1"), Object("second"));
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiveTopLevelObject(archive, "$2"));
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiveObject(archive));
}

TEST(KeyedArchive, uuidTextMustBeCanonical) {
    for (const char* text :
         {"0A1B2C3D-4E5F-6789-ABCD-EF012345678", "0A1B2C3D4E5F-6789-ABCD-EF0123456789-",
          "0A1B2C3D-4E5F-6789-ABCD-EF012345678G", "0A1B2C3D-4E5F-6789-ABCD-EF01234567890"}) {
        EXPECT_FALSE(UUID::fromString(text)) << text;
    }
}

TEST(KeyedArchive, refusesArchivesWithTheWrongShape) {
    auto withRoot = [](const std::function<void(plist_t)>& edit) {
        return unarchive(keyedArchive({plist_new_string("fine")}, plist_new_uid(1), edit));
    };
    auto setTop = [](plist_t root, plist_t value) {
        plist_dict_set_item(plist_dict_get_item(root, "$top"), "root", value);
    };
    EXPECT_EQ(withRoot([](plist_t) {}), Object("fine"));
    const std::function<void(plist_t)> edits[] = {
        [](plist_t r) { plist_dict_set_item(r, "$objects", plist_new_dict()); },
        [](plist_t r) { plist_dict_set_item(r, "$objects", plist_new_array()); },
        [](plist_t r) {
            plist_array_set_item(plist_dict_get_item(r, "$objects"), plist_new_string("null"), 0);
        },
        [](plist_t r) { plist_dict_set_item(r, "$archiver", plist_new_string("X")); },
        [](plist_t r) { plist_dict_set_item(r, "$version", plist_new_uint(99999)); },
        [](plist_t r) { plist_dict_set_item(r, "$top", plist_new_uid(1)); },
        [&](plist_t r) { setTop(r, plist_new_uint(1)); },
        [&](plist_t r) { setTop(r, plist_new_uid(2)); },
        [&](plist_t r) { setTop(r, plist_new_uid(0)); },  // "$null", nil: no root object
    };
    for (std::size_t index = 0; index < std::size(edits); ++index) {
        EXPECT_FALSE(withRoot(edits[index])) << index;
    }
    // Not an archive.
    EXPECT_FALSE(unarchive(binary(plist_new_array())));
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
    // Wrapped values of the wrong type or size; unknown classes.
    EXPECT_TRUE(refused({instance(2, {{"NS.time", plist_new_string("soon")}}), classEntry("NSDate")}));
    EXPECT_TRUE(refused({instance(2, {{"NS.string", plist_new_uint(1)}}), classEntry("NSString")}));
    EXPECT_TRUE(refused({instance(2, {{"NS.data", plist_new_string("x")}}), classEntry("NSData")}));
    EXPECT_TRUE(refused(
        {instance(2, {{"NS.uuidbytes", plist_new_data("0123456789abcde", 15)}}), classEntry("NSUUID")}));
    EXPECT_TRUE(refused({instance(2), classEntry("NSURL")}));
    // A plain property-list array where an object should be.
    EXPECT_TRUE(refused({plist_new_array()}));
    // An array containing itself, and two arrays containing each other.
    EXPECT_TRUE(refused({instance(2, {{"NS.objects", uidArray({1})}}), classEntry("NSArray")}));
    EXPECT_TRUE(refused({instance(3, {{"NS.objects", uidArray({2})}}),
                         instance(3, {{"NS.objects", uidArray({1})}}), classEntry("NSArray")}));
}

TEST(KeyedArchive, boundsDepthAndDecodedSize) {
    // Both ways: `levels` arrays, each holding the next.
    Object deepest("bottom");
    for (std::size_t level = 0; level < orvane::keyedArchiveMaximumDepth; ++level) {
        deepest = Object(ObjectArray{deepest});
    }
    EXPECT_EQ(roundTrip(deepest), deepest);
    EXPECT_FALSE(NSKeyedArchiver::archivedData(Object(ObjectArray{deepest})));
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
