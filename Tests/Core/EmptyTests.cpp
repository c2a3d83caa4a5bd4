#include "Core/Empty.hpp"

#include "Platform/Archive/NSKeyedArchiver.hpp"
#include "Platform/Archive/NSKeyedUnarchiver.hpp"
#include "Platform/Foundation/Object.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using orvane::Empty;
using orvane::Object;

// A coder over a plain dictionary. Entries written by the scalar operations
// are kept apart, so a test can tell them from object entries.
class DictionaryCoder : public orvane::NSCoder {
public:
    orvane::ObjectDictionary objects;
    orvane::ObjectDictionary scalars;

    void encodeObject(const Object& object, std::string_view key) override {
        objects.insert_or_assign(std::string(key), object);
    }
    void encodeBool(bool value, std::string_view key) override {
        scalars.insert_or_assign(std::string(key), value);
    }
    void encodeInteger(std::int64_t value, std::string_view key) override {
        scalars.insert_or_assign(std::string(key), value);
    }
    void encodeDouble(double value, std::string_view key) override {
        scalars.insert_or_assign(std::string(key), value);
    }

    bool containsValue(std::string_view key) const override { return objects.contains(key); }
    std::optional<Object> decodeObject(std::string_view key) override {
        const auto found = objects.find(key);
        return found == objects.end() ? std::nullopt : std::optional<Object>(found->second);
    }
    bool decodeBool(std::string_view) override { return false; }
    std::int64_t decodeInteger(std::string_view) override { return 0; }
    double decodeDouble(std::string_view) override { return 0; }
};

std::shared_ptr<Empty> decodeWith(Object sentinel) {
    DictionaryCoder coder;
    coder.objects.emplace("sentinel", std::move(sentinel));
    return Empty::initWithCoder(coder);
}

TEST(Empty, encodesTheNumberOneAsAnObjectAndDecodesIt) {
    DictionaryCoder coder;
    Empty().encode(coder);
    EXPECT_TRUE(coder.scalars.empty());
    ASSERT_EQ(coder.objects.size(), 1u);
    const Object& sentinel = coder.objects.at("sentinel");
    EXPECT_EQ(sentinel.kind(), Object::Kind::integer);
    EXPECT_EQ(sentinel, Object(1));
    EXPECT_NE(Empty::initWithCoder(coder), nullptr);
}

TEST(Empty, decodesAnyNumberEqualToOne) {
    EXPECT_NE(decodeWith(Object(1)), nullptr);
    EXPECT_NE(decodeWith(Object(1.0)), nullptr);
    EXPECT_NE(decodeWith(Object(true)), nullptr);
}

TEST(Empty, rejectsEverythingElse) {
    DictionaryCoder withoutKey;
    EXPECT_EQ(Empty::initWithCoder(withoutKey), nullptr);
    DictionaryCoder otherKey;
    otherKey.objects.emplace("Sentinel", Object(1));
    EXPECT_EQ(Empty::initWithCoder(otherKey), nullptr);

    EXPECT_EQ(decodeWith(Object(0)), nullptr);
    EXPECT_EQ(decodeWith(Object(2)), nullptr);
    EXPECT_EQ(decodeWith(Object(false)), nullptr);
    EXPECT_EQ(decodeWith(Object(1.5)), nullptr);
    EXPECT_EQ(decodeWith(Object("1")), nullptr);
    EXPECT_EQ(decodeWith(Object()), nullptr);
    EXPECT_EQ(decodeWith(Object::box(1)), nullptr) << "a boxed int is not a number object";
}

TEST(Empty, equalityIsIdentity) {
    const auto one = std::make_shared<Empty>();
    const auto other = std::make_shared<Empty>();
    EXPECT_TRUE(one->isEqual(*one));
    EXPECT_FALSE(one->isEqual(*other));
    EXPECT_EQ(Object(one), Object(one));
    EXPECT_NE(Object(one), Object(other));
    EXPECT_EQ(one->className(), "TarvelOrvane.Empty");
}

// Archives as an Empty (same class name) but with any sentinel entry, or none.
class ForgedEmpty : public orvane::NSObject, public orvane::NSCoding {
public:
    explicit ForgedEmpty(std::optional<Object> sentinel) : sentinel_(std::move(sentinel)) {}
    std::string className() const override { return "TarvelOrvane.Empty"; }
    void encode(orvane::NSCoder& coder) const override {
        if (sentinel_) {
            coder.encodeObject(*sentinel_, "sentinel");
        }
    }

private:
    std::optional<Object> sentinel_;
};

std::shared_ptr<Empty> unarchiveForged(std::optional<Object> sentinel) {
    const auto archive =
        orvane::NSKeyedArchiver::archivedData(Object(std::make_shared<ForgedEmpty>(sentinel)));
    EXPECT_TRUE(archive.has_value());
    return archive ? orvane::NSKeyedUnarchiver::unarchivedObject<Empty>(*archive) : nullptr;
}

TEST(EmptyArchive, roundTripsThroughAKeyedArchive) {
    const auto archive = orvane::NSKeyedArchiver::archivedData(Object(std::make_shared<Empty>()));
    ASSERT_TRUE(archive.has_value());
    EXPECT_NE(orvane::NSKeyedUnarchiver::unarchivedObject<Empty>(*archive), nullptr);

    // The archive holds the number object 1 under "sentinel".
    std::optional<Object> archived;
    const orvane::CodingClass probe{"TarvelOrvane.Empty", [&archived](orvane::NSCoder& coder) {
                                        archived = coder.decodeObject("sentinel");
                                        return std::make_shared<orvane::NSObject>();
                                    }};
    ASSERT_TRUE(orvane::NSKeyedUnarchiver::unarchiveObject(*archive, std::span(&probe, 1)).has_value());
    ASSERT_TRUE(archived.has_value());
    EXPECT_EQ(archived->kind(), Object::Kind::integer);
    EXPECT_EQ(*archived, Object(1));
}

TEST(EmptyArchive, archivesWithoutAValidSentinelYieldNothing) {
    EXPECT_NE(unarchiveForged(Object(1)), nullptr) << "the forgery itself must be readable";
    EXPECT_EQ(unarchiveForged(std::nullopt), nullptr);
    EXPECT_EQ(unarchiveForged(Object("1")), nullptr);
    EXPECT_EQ(unarchiveForged(Object(0)), nullptr);
    EXPECT_EQ(unarchiveForged(Object(2)), nullptr);
}

}  // namespace
