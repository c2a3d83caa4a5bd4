#include "Data/PropertyListSerialization.hpp"

#include <gtest/gtest.h>

#include <plist/plist.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace {

using orvane::Data;
using orvane::Date;
using orvane::Object;
using orvane::ObjectArray;
using orvane::ObjectDictionary;
using Plist = orvane::PropertyListSerialization;

std::optional<Object> roundTrip(const Object& value) {
    const auto xml = Plist::xmlData(value);
    return xml ? Plist::propertyList(*xml) : std::nullopt;
}

std::string binaryOf(void* tree) {
    return orvane::BinaryPropertyList::serialize(tree).value_or(Data()).toString();
}

Object nested(std::size_t depth) {
    return depth == 0 ? Object(true) : Object(ObjectArray{nested(depth - 1)});
}

TEST(PropertyListSerialization, everyValueTypeSurvivesTheXMLAndBinaryForms) {
    const ObjectDictionary dictionary{
        {"string", "caf\xC3\xA9 <&> \"q\" \t\r\n  "},
        {"", ""},
        {"<odd & key>", std::numeric_limits<std::int64_t>::min()},
        {"largest", std::numeric_limits<std::int64_t>::max()},
        {"unsigned", ObjectArray{UINT64_MAX, std::uint64_t{1} << 63}},
        {"reals", ObjectArray{0.1, 3.0, 1e300, -std::numeric_limits<double>::infinity()}},
        {"flags", ObjectArray{true, false}},
        {"data", ObjectArray{Data(std::string_view("\0\1\xFE<&", 5)), Data()}},
        {"date", Date::fromTimeIntervalSince1970(1'700'000'000)},
        {"nested", ObjectDictionary{{"inner", ObjectDictionary{}}, {"list", ObjectArray{}}}},
    };
    const auto xml = Plist::xmlData(Object(dictionary));
    ASSERT_TRUE(xml);
    EXPECT_NE(xml->find("<integer>18446744073709551615</integer>"), std::string::npos);
    const orvane::PropertyListNode tree = Plist::parse(*xml);
    for (const std::string& bytes : {*xml, binaryOf(tree.get())}) {
        const auto back = Plist::propertyList(bytes);
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, Object(dictionary));
        // Object's == takes 3 and 3.0 as equal; the kinds must survive too.
        EXPECT_NE(back->dictionaryIf()->at("reals").arrayIf()->at(1).realIf(), nullptr);
        EXPECT_NE(back->dictionaryIf()->at("largest").integerIf(), nullptr);
        EXPECT_EQ(back->dictionaryIf()->at("unsigned").arrayIf()->at(0).as<std::uint64_t>(), UINT64_MAX);
    }
    // A sixteen-byte integer whose high half is not zero holds no 64-bit value.
    std::string beyond = binaryOf(tree.get());
    const std::size_t largest = beyond.find("\x14" + std::string(8, '\0') + std::string(8, '\xFF'));
    ASSERT_NE(largest, std::string::npos);
    beyond[largest + 1] = 1;
    EXPECT_EQ(Plist::propertyList(beyond), std::nullopt);
    EXPECT_TRUE(std::isnan(*roundTrip(Object(std::nan("")))->realIf()));
}

TEST(PropertyListSerialization, datesKeepTheSecondTheyFallInAcrossTheirWholeRange) {
    const double earliest = Plist::earliestWritableDate().timeIntervalSince1970();
    const double latest = Plist::latestWritableDate().timeIntervalSince1970();
    EXPECT_EQ(earliest, -62135596800.0);  // 0001-01-01T00:00:00Z
    EXPECT_EQ(latest, 253402300799.0);    // 9999-12-31T23:59:59Z
    const std::pair<double, double> writtenAndRead[] = {
        {1'700'000'000.75, 1'700'000'000},
        {-0.5, -1},  // before 1970, the earlier second
        {-5e9, -5e9},
        {5e9, 5e9},  // beyond libplist's 32-bit seconds
        {earliest, earliest},
        {latest + 0.9, latest},
    };
    for (const auto& [written, read] : writtenAndRead) {
        EXPECT_EQ(roundTrip(Object(Date::fromTimeIntervalSince1970(written))),
                  Object(Date::fromTimeIntervalSince1970(read)))
            << written;
    }
    // Four-digit years, as strict readers want.
    const std::string earliestXML = Plist::xmlData(Object(Plist::earliestWritableDate())).value();
    EXPECT_NE(earliestXML.find("<date>0001-01-01T00:00:00Z</date>"), std::string::npos);
}

TEST(PropertyListSerialization, readsUTF16XMLWithAByteOrderMark) {
    const std::u16string text =
        u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><plist><array>"
        u"<string>caf\u00e9 \U0001F511</string><integer>7</integer></array></plist>";
    for (const bool bigEndian : {false, true}) {
        std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (const char16_t unit : text) {
            const char high = static_cast<char>(unit >> 8);
            const char low = static_cast<char>(unit & 0xFF);
            bytes += bigEndian ? std::string{high, low} : std::string{low, high};
        }
        EXPECT_EQ(Plist::propertyList(bytes), Object(ObjectArray{"caf\u00e9 \U0001F511", 7}));
        EXPECT_EQ(Plist::propertyList(bytes.substr(0, bytes.size() - 1)), std::nullopt);
        // A lone surrogate (the first half of the key's U+1F511) is no text.
        const std::size_t pair = bytes.find(bigEndian ? std::string("\xD8\x3D") : std::string("\x3D\xD8"));
        ASSERT_NE(pair, std::string::npos);
        EXPECT_EQ(Plist::propertyList(bytes.erase(pair + 2, 2)), std::nullopt);
    }
}

TEST(PropertyListSerialization, writingRefusesWhatCannotBeReadBack) {
    const Object refused[] = {
        Object(),
        Object::box(std::pair{1, 2}),
        Object(std::string("nul\0inside", 10)),
        Object("\xC3\x28"),  // not UTF-8
        Object(ObjectDictionary{{std::string("k\0ey", 4), 1}}),
        Object(Plist::earliestWritableDate().addingTimeInterval(-1)),
        Object(Plist::latestWritableDate().addingTimeInterval(1)),
        Object(Date::fromTimeIntervalSince1970(std::nan(""))),
        Object(ObjectArray{1, Object()}),  // one bad value spoils the whole
        nested(256),                       // under the dictionary: 257 levels
    };
    for (const Object& value : refused) {
        EXPECT_FALSE(Plist::xmlData(Object(ObjectDictionary{{"k", value}}))) << value.description();
    }
    const Object deepest(ObjectDictionary{{"k", nested(255)}});
    EXPECT_EQ(roundTrip(deepest), deepest);
    EXPECT_FALSE(Plist::xmlData(Object(ObjectArray{1, 2, 3}), {.maximumExpandedNodes = 3}));
}

// libplist 2.2 asserts (aborts) when it iterates over a key with a NUL character. PlistProxy
// looks single keys up with libplist, so for a repeated key the whole dictionary must agree.
TEST(PropertyListSerialization, readsBinaryDatesAndUIDsRefusesNulInKeysAndKeepsARepeatedKeysFirstValue) {
    orvane::PropertyListNode tree(plist_new_dict());
    plist_dict_set_item(tree.get(), "a", plist_new_uint(1));
    plist_dict_set_item(tree.get(), "b", plist_new_uint(2));
    plist_dict_set_item(tree.get(), "c\xC3\xA9", plist_new_uint(3));  // "cé", written as UTF-16
    plist_dict_set_item(tree.get(), "date", plist_new_date(86400, 0));
    plist_dict_set_item(tree.get(), "uid", plist_new_uid(5));
    const std::string bytes = binaryOf(tree.get());
    const std::size_t b = bytes.find("Qb");  // 0x51 ('Q') marks a one-character ASCII string
    const std::size_t e = bytes.find(std::string_view("\0\xE9", 2));
    ASSERT_NE(b, std::string::npos);
    ASSERT_NE(e, std::string::npos);
    for (const std::size_t at : {b + 1, e + 1}) {
        std::string damaged = bytes;
        damaged[at] = '\0';
        EXPECT_EQ(Plist::propertyList(damaged), std::nullopt) << at;
    }

    std::string repeated = bytes;
    repeated[b + 1] = 'a';
    const orvane::PropertyListNode root = Plist::parse(repeated);
    ASSERT_TRUE(root);
    EXPECT_EQ(Plist::object(plist_dict_get_item(root.get(), "a")), Object(1));
    EXPECT_EQ(Plist::dictionary(repeated),
              (ObjectDictionary{{"a", 1},
                                {"c\xC3\xA9", 3},
                                {"date", Date::fromTimeIntervalSinceReferenceDate(86400)},
                                {"uid", ObjectDictionary{{"CF$UID", 5}}}}));
    // Only a dictionary root is a dictionary.
    EXPECT_EQ(Plist::dictionary(binaryOf(plist_dict_get_item(tree.get(), "uid"))), std::nullopt);
}

}  // namespace
