#include "Platform/Archive/BinaryPropertyList.hpp"
#include "Platform/Archive/NSKeyedUnarchiver.hpp"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using orvane::BinaryPropertyList;

// Writes binary property lists object by object, so each test can break
// exactly one rule. References are `refSize` bytes wide; offsets take the
// fewest bytes that fit.
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
            appendReference(raw, reference);
        }
        return raw;
    }
    std::uint64_t array(const std::vector<std::uint64_t>& references) { return add(arrayOf(references)); }
    std::uint64_t dictionary(const std::vector<std::pair<std::uint64_t, std::uint64_t>>& entries) {
        Bytes raw = marker(0xD, entries.size());
        for (const auto& entry : entries) {
            appendReference(raw, entry.first);
        }
        for (const auto& entry : entries) {
            appendReference(raw, entry.second);
        }
        return add(raw);
    }

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
        Bytes trailer(6, 0);
        trailer.push_back(static_cast<std::uint8_t>(offsetSize));
        trailer.push_back(static_cast<std::uint8_t>(refSize_));
        appendBigEndian(trailer, objects_.size(), 8);
        appendBigEndian(trailer, top, 8);
        appendBigEndian(trailer, tableOffset, 8);
        out.insert(out.end(), trailer.begin(), trailer.end());
        return out;
    }

    static void appendBigEndian(Bytes& out, std::uint64_t value, std::size_t size) {
        for (std::size_t index = size; index-- > 0;) {
            out.push_back(static_cast<std::uint8_t>(value >> (8 * index)));
        }
    }

private:
    void appendReference(Bytes& raw, std::uint64_t reference) const {
        appendBigEndian(raw, reference, refSize_);
    }

    std::size_t refSize_;
    std::vector<Bytes> objects_;
};

// Trailer fields, counted from the end of the file.
enum class TrailerField { offsetSize, refSize, objectCount, topObject, tableOffset };

void setTrailer(Bytes& bytes, TrailerField field, std::uint64_t value) {
    const std::size_t trailer = bytes.size() - 32;
    auto write = [&](std::size_t at, std::size_t size) {
        for (std::size_t index = 0; index < size; ++index) {
            bytes[trailer + at + index] = static_cast<std::uint8_t>(value >> (8 * (size - 1 - index)));
        }
    };
    switch (field) {
        case TrailerField::offsetSize:
            return write(6, 1);
        case TrailerField::refSize:
            return write(7, 1);
        case TrailerField::objectCount:
            return write(8, 8);
        case TrailerField::topObject:
            return write(16, 8);
        case TrailerField::tableOffset:
            return write(24, 8);
    }
}

// A small valid list: {"key": [1, "two"], "other": 3}.
Bytes validList() {
    PlistBuilder builder;
    const auto root = builder.add({});
    const auto key = builder.ascii("key");
    const auto list = builder.array({builder.integer(1), builder.ascii("two")});
    const auto other = builder.ascii("other");
    const auto three = builder.integer(3);
    builder.set(root, {0xD2, static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(other),
                       static_cast<std::uint8_t>(list), static_cast<std::uint8_t>(three)});
    return builder.build(root);
}

std::string xmlOf(void* node) {
    char* xml = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    std::string text(xml, length);
    plist_to_xml_free(xml);
    return text;
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

TEST(BinaryPropertyList, acceptsAndParsesAWellFormedList) {
    const Bytes bytes = validList();
    EXPECT_EQ(BinaryPropertyList::findProblem(bytes), std::nullopt);

    orvane::PropertyListNode parsed = BinaryPropertyList::parse(bytes);
    ASSERT_TRUE(parsed);
    plist_t direct = nullptr;
    plist_from_bin(reinterpret_cast<const char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()),
                   &direct);
    orvane::PropertyListNode owned(direct);
    EXPECT_EQ(xmlOf(parsed.get()), xmlOf(owned.get()));
}

TEST(BinaryPropertyList, refusesABrokenHeaderOrTrailer) {
    const Bytes good = validList();
    EXPECT_EQ(refusal(Bytes(good.begin(), good.begin() + 40)), "too short for a binary property list");

    Bytes badMagic = good;
    badMagic[7] = '1';
    EXPECT_EQ(refusal(badMagic), "no bplist00 header");

    for (std::uint64_t size : {0, 9}) {
        Bytes bytes = good;
        setTrailer(bytes, TrailerField::offsetSize, size);
        EXPECT_EQ(refusal(bytes), "offset size outside 1...8");
        bytes = good;
        setTrailer(bytes, TrailerField::refSize, size);
        EXPECT_EQ(refusal(bytes), "object reference size outside 1...8");
    }

    Bytes noObjects = good;
    setTrailer(noObjects, TrailerField::objectCount, 0);
    EXPECT_EQ(refusal(noObjects), "no objects");

    Bytes badTop = good;
    setTrailer(badTop, TrailerField::topObject, 7);
    EXPECT_EQ(refusal(badTop), "top object out of range");

    for (std::uint64_t offset :
         {std::uint64_t{0}, std::uint64_t{8}, std::uint64_t{good.size() - 32}, std::uint64_t{1} << 63}) {
        Bytes bytes = good;
        setTrailer(bytes, TrailerField::tableOffset, offset);
        EXPECT_EQ(refusal(bytes), "offset table outside the file") << offset;
    }

    // A count so large that the table would run into the trailer, including
    // one whose byte size overflows 64 bits.
    for (std::uint64_t count : {std::uint64_t{8}, std::uint64_t{1} << 62}) {
        Bytes bytes = good;
        setTrailer(bytes, TrailerField::objectCount, count);
        EXPECT_EQ(refusal(bytes), "offset table overlaps the trailer") << count;
    }
}

TEST(BinaryPropertyList, refusesOffsetsAndObjectsOutsideTheObjectArea) {
    PlistBuilder builder;
    builder.integer(1);
    const Bytes good = builder.build();
    const std::size_t table = good.size() - 33;  // the single one-byte offset

    Bytes intoTable = good;
    intoTable[table] = static_cast<std::uint8_t>(table);
    EXPECT_EQ(refusal(intoTable), "object offset outside the object area");
    Bytes intoHeader = good;
    intoHeader[table] = 3;
    EXPECT_EQ(refusal(intoHeader), "object offset outside the object area");

    // Lengths that run into the offset table: plain, extended, and one whose
    // extended length field itself is cut off.
    // Exactly at the edge: contents ending where the table begins fit; one more byte does not.
    PlistBuilder fits;
    fits.add({0x42, 'a', 'b'});
    EXPECT_EQ(BinaryPropertyList::findProblem(fits.build()), std::nullopt);
    PlistBuilder data;
    data.add({0x43, 'a', 'b'});
    EXPECT_EQ(refusal(data.build()), "object 0: contents run past the object area");
    PlistBuilder extended;
    Bytes huge = PlistBuilder::marker(0x4, std::uint64_t{1} << 40);
    extended.add(huge);
    EXPECT_EQ(refusal(extended.build()), "object 0: contents run past the object area");
    PlistBuilder cutLength;
    cutLength.add({0x4F, 0x13, 0, 0});
    EXPECT_EQ(refusal(cutLength.build()), "object 0: length runs past the object area");
    PlistBuilder badLength;
    badLength.add({0x4F, 0x22, 0, 0, 0, 1, 'x'});
    EXPECT_EQ(refusal(badLength.build()), "object 0: malformed extended length");
    PlistBuilder shortInteger;
    shortInteger.add({0x13, 1, 2});
    EXPECT_EQ(refusal(shortInteger.build()), "object 0: runs past the object area");
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
    // A reference equal to the object count is the first one out of range.
    PlistBuilder outOfRange;
    outOfRange.array({outOfRange.integer(1), 2});
    EXPECT_EQ(refusal(outOfRange.build(1)), "object reference out of range");
    PlistBuilder lastInRange;
    const auto root = lastInRange.add({});
    const auto first = lastInRange.integer(1);
    lastInRange.set(root, lastInRange.arrayOf({first, lastInRange.integer(2)}));
    EXPECT_EQ(BinaryPropertyList::findProblem(lastInRange.build(root)), std::nullopt);
    PlistBuilder topAtCount;
    topAtCount.integer(1);
    EXPECT_NE(refusal(topAtCount.build(1)), "<accepted>");

    // Unreachable objects are checked too: libplist never sees them, but a
    // file holding them is not well formed.
    PlistBuilder unreachable;
    unreachable.integer(1);
    unreachable.array({9});
    EXPECT_EQ(refusal(unreachable.build(0)), "object reference out of range");

    PlistBuilder numericKey;
    const auto one = numericKey.integer(1);
    EXPECT_EQ(refusal(numericKey.build(numericKey.dictionary({{one, one}}))),
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
    const auto dictionary = indirect.dictionary({{key, a}});
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
    EXPECT_TRUE(BinaryPropertyList::parse(nested(256)));
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
    EXPECT_EQ(refusal(doubling(30)), "expands to too large a tree");
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

// Objects listed many times over: offset-table entries that all point at one
// large array. Allowed (one object listed twice is harmless), but the walk
// must stop as soon as the expanded size passes the limit instead of visiting
// every alias in full (60000 × 60000 references here).
TEST(BinaryPropertyList, stopsEarlyOnAliasedObjects) {
    constexpr std::uint64_t aliases = 60000;
    Bytes bytes{'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    auto arrayHeader = [&] {
        bytes.push_back(0xAF);
        bytes.push_back(0x11);
        PlistBuilder::appendBigEndian(bytes, aliases, 2);
    };
    const std::uint64_t top = bytes.size();
    arrayHeader();
    for (std::uint64_t index = 1; index <= aliases; ++index) {
        PlistBuilder::appendBigEndian(bytes, index, 2);
    }
    const std::uint64_t shared = bytes.size();
    arrayHeader();
    for (std::uint64_t index = 1; index <= aliases; ++index) {
        PlistBuilder::appendBigEndian(bytes, aliases + 1, 2);
    }
    const std::uint64_t leaf = bytes.size();
    bytes.insert(bytes.end(), {0x10, 0x01});
    const std::uint64_t table = bytes.size();
    PlistBuilder::appendBigEndian(bytes, top, 4);
    for (std::uint64_t index = 1; index <= aliases; ++index) {
        PlistBuilder::appendBigEndian(bytes, shared, 4);
    }
    PlistBuilder::appendBigEndian(bytes, leaf, 4);
    bytes.insert(bytes.end(), {0, 0, 0, 0, 0, 0, 4, 2});
    PlistBuilder::appendBigEndian(bytes, aliases + 2, 8);
    PlistBuilder::appendBigEndian(bytes, 0, 8);
    PlistBuilder::appendBigEndian(bytes, table, 8);
    EXPECT_EQ(refusal(bytes), "expands to too large a tree");
}

TEST(BinaryPropertyList, refusesOverlappingObjects) {
    // The second offset points into the middle of the first object's data.
    PlistBuilder builder;
    builder.add({0x43, 0x10, 0x05, 0x00});
    builder.add({0x09});
    Bytes bytes = builder.build(0);
    bytes[bytes.size() - 32 - 1] = 9;  // object 1 now starts at the data's 0x10
    EXPECT_EQ(refusal(bytes), "objects overlap");
}

TEST(BinaryPropertyList, neverCrashesOnTruncatedOrCorruptedLists) {
    const Bytes good = validList();
    for (std::size_t length = 0; length < good.size(); ++length) {
        const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_FALSE(BinaryPropertyList::parse(cut)) << length;
    }
    // Every byte set to a few telling values: parse may accept some, but
    // must stay within the file and terminate.
    for (std::size_t at = 0; at < good.size(); ++at) {
        for (std::uint8_t value : {0x00, 0x01, 0x0F, 0x7F, 0xFF}) {
            Bytes bytes = good;
            bytes[at] = value;
            if (BinaryPropertyList::parse(bytes)) {
                EXPECT_TRUE(BinaryPropertyList::isWellFormed(bytes)) << at;
            }
        }
    }
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

    // makeString builds such strings, and they survive serialize and parse.
    for (std::string text :
         {std::string("plain"), std::string("\0", 1), std::string("x\0\xC3\xA9\xF0\x9F\x94\x91", 8)}) {
        orvane::PropertyListNode node = BinaryPropertyList::makeString(text);
        ASSERT_TRUE(node);
        EXPECT_EQ(stringOf(node.get()), text);
        auto written = BinaryPropertyList::serialize(node.get());
        ASSERT_TRUE(written);
        orvane::PropertyListNode back = BinaryPropertyList::parse(written->bytes());
        ASSERT_TRUE(back);
        EXPECT_EQ(stringOf(back.get()), text);
    }
    EXPECT_FALSE(BinaryPropertyList::makeString("\xFF"));
}
