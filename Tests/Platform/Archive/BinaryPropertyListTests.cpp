#include "Platform/Archive/BinaryPropertyList.hpp"
#include "Platform/Archive/NSKeyedUnarchiver.hpp"
#include "Support/PropertyListBuilders.hpp"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using orvane::BinaryPropertyList;
using testsupport::Bytes;
using testsupport::PlistBuilder;

// Overwrites `size` bytes of the trailer, `at` bytes into it, with `value`.
void setTrailer(Bytes& bytes, std::size_t at, std::size_t size, std::uint64_t value) {
    for (std::size_t index = 0; index < size; ++index) {
        bytes[bytes.size() - 32 + at + index] = static_cast<std::uint8_t>(value >> (8 * (size - 1 - index)));
    }
}

// A small valid list of three objects: [1, "two"].
Bytes validList() {
    PlistBuilder builder;
    builder.array({1, 2});
    builder.integer(1);
    builder.ascii("two");
    return builder.build();
}

// The problem findProblem names, after checking that parse and the
// unarchiver both refuse the bytes too.
std::string refusal(const Bytes& bytes, const BinaryPropertyList::Limits& limits = {}) {
    EXPECT_FALSE(BinaryPropertyList::parse(bytes, limits));
    EXPECT_FALSE(orvane::NSKeyedUnarchiver::unarchiveObject(orvane::Data(bytes)));
    return BinaryPropertyList::findProblem(bytes, limits).value_or("<accepted>");
}

std::string stringOf(void* node) {
    std::uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    return text == nullptr ? std::string() : std::string(text, length);
}

}  // namespace

TEST(BinaryPropertyList, refusesABrokenHeaderOrTrailer) {
    const Bytes good = validList();
    EXPECT_EQ(refusal(Bytes(good.begin(), good.begin() + 40)), "too short for a binary property list");
    Bytes badMagic = good;
    badMagic[7] = '1';
    EXPECT_EQ(refusal(badMagic), "no bplist00 header");

    struct Case {
        std::size_t at, size;
        std::uint64_t value;
        const char* problem;
    };
    const std::uint64_t tableEnd = good.size() - 32;
    const Case cases[] = {
        {6, 1, 0, "offset size outside 1...8"},
        {6, 1, 9, "offset size outside 1...8"},
        {7, 1, 0, "object reference size outside 1...8"},
        {7, 1, 9, "object reference size outside 1...8"},
        {8, 8, 0, "no objects"},
        {16, 8, 3, "top object out of range"},  // equal to the object count
        {24, 8, 0, "offset table outside the file"},
        {24, 8, 8, "offset table outside the file"},
        {24, 8, tableEnd, "offset table outside the file"},
        {24, 8, std::uint64_t{1} << 63, "offset table outside the file"},
        // One offset more than the table holds, and a byte size that overflows.
        {8, 8, 4, "offset table overlaps the trailer"},
        {8, 8, std::uint64_t{1} << 62, "offset table overlaps the trailer"},
    };
    for (const Case& test : cases) {
        Bytes bytes = good;
        setTrailer(bytes, test.at, test.size, test.value);
        EXPECT_EQ(refusal(bytes), test.problem) << test.at << " = " << test.value;
    }
    Bytes lastTop = good;
    setTrailer(lastTop, 16, 8, 2);
    EXPECT_EQ(BinaryPropertyList::findProblem(lastTop), std::nullopt);
}

TEST(BinaryPropertyList, checksEveryObjectExactlyAtTheEndOfTheObjectArea) {
    PlistBuilder builder;
    builder.integer(1);
    const Bytes good = builder.build();
    const std::size_t table = good.size() - 33;  // the single one-byte offset
    for (std::uint8_t offset : {std::uint8_t(table), std::uint8_t{7}}) {
        Bytes bytes = good;
        bytes[table] = offset;
        EXPECT_EQ(refusal(bytes), "object offset outside the object area") << int(offset);
    }
    // The second offset points into the middle of the first object's data.
    PlistBuilder overlapping;
    overlapping.add({0x43, 0x10, 0x05, 0x00});
    overlapping.add({0x09});
    Bytes overlap = overlapping.build(0);
    overlap[overlap.size() - 32 - 1] = 9;  // object 1 now starts at the data's 0x10
    EXPECT_EQ(refusal(overlap), "objects overlap");

    // Single objects that end exactly where the offset table begins, and the
    // same one byte longer.
    const std::pair<Bytes, const char*> cases[] = {
        {{0x42, 'a', 'b'}, "<accepted>"},
        {{0x43, 'a', 'b'}, "object 0: contents run past the object area"},
        {{0x61, 0, 'a'}, "<accepted>"},
        {{0x62, 0, 'a', 0}, "object 0: contents run past the object area"},
        {{0x11, 1, 2}, "<accepted>"},
        {{0x12, 1, 2}, "object 0: runs past the object area"},
        {{0x4F, 0x10, 0}, "<accepted>"},  // an extended length of one byte, zero
        {{0x4F, 0x11, 0}, "object 0: length runs past the object area"},
        {{0x4F}, "object 0: length runs past the object area"},
        {PlistBuilder::marker(0x4, std::uint64_t{1} << 40), "object 0: contents run past the object area"},
        {{0x4F, 0x22, 0, 0, 0, 1, 'x'}, "object 0: malformed extended length"},
    };
    for (const auto& [object, problem] : cases) {
        PlistBuilder one;
        one.add(object);
        const Bytes bytes = one.build();
        EXPECT_EQ(BinaryPropertyList::findProblem(bytes).value_or("<accepted>"), problem) << int(object[0]);
        EXPECT_EQ(BinaryPropertyList::parse(bytes).get() != nullptr, std::string(problem) == "<accepted>");
    }
}

TEST(BinaryPropertyList, refusesMarkersLibplistCannotRead) {
    for (Bytes object : {Bytes{0x00}, Bytes{0x0F}, Bytes{0x15, 0}, Bytes{0x21, 0, 0}, Bytes{0x32, 0, 0, 0, 0},
                         Bytes{0x70}, Bytes{0x88}, Bytes{0xB0}, Bytes{0xE0}, Bytes{0xF0}}) {
        PlistBuilder builder;
        builder.add(object);
        // Pad so that every fixed-size object would fit if its marker were fine.
        builder.add(Bytes(20, 0x09));
        EXPECT_NE(refusal(builder.build()), "<accepted>") << int(object[0]);
    }
}

TEST(BinaryPropertyList, refusesBadReferences) {
    // References equal to the object count are the first out of range; one
    // less is the last object.
    PlistBuilder builder;
    const auto root = builder.add({});
    const auto one = builder.integer(1);
    builder.integer(2);
    builder.set(root, builder.arrayOf({one, 2}));
    EXPECT_EQ(BinaryPropertyList::findProblem(builder.build(root)), std::nullopt);
    builder.set(root, builder.arrayOf({one, 3}));
    EXPECT_EQ(refusal(builder.build(root)), "object reference out of range");
    builder.set(root, {0xD1, 3, static_cast<std::uint8_t>(one)});
    EXPECT_EQ(refusal(builder.build(root)), "object reference out of range");

    // Unreachable objects are checked too: libplist never sees them, but a
    // file holding them is not well formed.
    PlistBuilder unreachable;
    unreachable.integer(1);
    unreachable.array({9});
    EXPECT_EQ(refusal(unreachable.build(0)), "object reference out of range");

    PlistBuilder numericKey;
    const auto key = numericKey.integer(1);
    EXPECT_EQ(refusal(numericKey.build(numericKey.add({0xD1, std::uint8_t(key), std::uint8_t(key)}))),
              "dictionary key is not a string");
}

TEST(BinaryPropertyList, refusesContainersThatContainThemselves) {
    PlistBuilder self;
    self.array({0});
    EXPECT_EQ(refusal(self.build()), "an object contains itself");

    // A → B → dictionary → A.
    PlistBuilder indirect;
    const auto a = indirect.add({});
    const auto b = indirect.array({2});
    const auto key = indirect.ascii("k");
    const auto dictionary = indirect.add({0xD1, std::uint8_t(key), std::uint8_t(a)});
    indirect.set(a, indirect.arrayOf({b}));
    indirect.set(b, indirect.arrayOf({dictionary}));
    EXPECT_EQ(refusal(indirect.build(a)), "an object contains itself");
}

TEST(BinaryPropertyList, limitsNestingDepth) {
    auto nested = [](std::size_t levels) {
        PlistBuilder builder(4);
        for (std::size_t level = 0; level < levels; ++level) {
            builder.array({level + 1});
        }
        builder.integer(7);
        return builder.build();
    };
    EXPECT_EQ(BinaryPropertyList::findProblem(nested(256)), std::nullopt);
    EXPECT_EQ(refusal(nested(257)), "nested too deeply");
    EXPECT_EQ(refusal(nested(100000)), "nested too deeply");
}

TEST(BinaryPropertyList, limitsTheExpandedTree) {
    // Each level is an array holding the next level twice: `levels` levels
    // expand to 2^(levels+1) - 1 nodes from a file of a few bytes a level.
    auto doubling = [](std::size_t levels) {
        PlistBuilder builder;
        for (std::size_t level = 0; level < levels; ++level) {
            builder.array({level + 1, level + 1});
        }
        builder.integer(1);
        return builder.build();
    };
    BinaryPropertyList::Limits fifteen;
    fifteen.maximumExpandedNodes = 15;
    EXPECT_EQ(BinaryPropertyList::findProblem(doubling(3), fifteen), std::nullopt);
    EXPECT_EQ(refusal(doubling(4), fifteen), "expands to too large a tree");
    EXPECT_EQ(refusal(doubling(200)), "expands to too large a tree");

    // Bytes count as well: one 100-byte blob referenced 50 times.
    PlistBuilder blob;
    Bytes data = PlistBuilder::marker(0x4, 100);
    data.resize(data.size() + 100, 0xAB);
    const auto shared = blob.add(data);
    const auto array = blob.array(std::vector<std::uint64_t>(50, shared));
    BinaryPropertyList::Limits fewBytes;
    fewBytes.maximumExpandedBytes = 1000;
    EXPECT_EQ(refusal(blob.build(array), fewBytes), "expands to too large a tree");
    EXPECT_EQ(BinaryPropertyList::findProblem(blob.build(array)), std::nullopt);
}

TEST(BinaryPropertyList, keepsStringsThatLibplistWouldMangle) {
    // An ASCII string with NUL bytes (libplist alone cuts it at the first)
    // and an empty UTF-16 string (libplist alone fails the whole list).
    PlistBuilder builder;
    const auto withNul = builder.ascii(std::string_view("a\0b\0", 4));
    const auto empty = builder.add({0x60});
    const auto array = builder.array({withNul, empty, withNul});
    orvane::PropertyListNode parsed = BinaryPropertyList::parse(builder.build(array));
    ASSERT_TRUE(parsed);
    ASSERT_EQ(plist_array_get_size(parsed.get()), 3u);
    EXPECT_EQ(stringOf(plist_array_get_item(parsed.get(), 0)), std::string("a\0b\0", 4));
    EXPECT_EQ(stringOf(plist_array_get_item(parsed.get(), 1)), "");
    EXPECT_EQ(stringOf(plist_array_get_item(parsed.get(), 2)), std::string("a\0b\0", 4));
}
