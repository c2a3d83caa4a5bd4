#include "Data/BinarySerializable.hpp"

#include "Platform/Archive/NSKeyedArchiver.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace binaryserializabletests {

using orvane::Data;
using orvane::Object;

struct Settings : orvane::BinarySerializable<Settings> {
    std::string name;
    std::int64_t retries = 0;
    double ratio = 0;
    std::vector<std::string> tags;
    NLOHMANN_DEFINE_TYPE_INTRUSIVE(Settings, name, retries, ratio, tags)
};

// Recursive, for nesting.
struct Tree : orvane::BinarySerializable<Tree> {
    std::vector<Tree> children;
    friend void to_json(nlohmann::json& json, const Tree& tree) { json = tree.children; }
    friend void from_json(const nlohmann::json& json, Tree& tree) { json.get_to(tree.children); }
};

// Only 1, 2 and 3 are values.
struct Priority : orvane::BinarySerializable<Priority> {
    std::int64_t value = 1;
    std::int64_t rawValue() const { return value; }
    static std::optional<Priority> fromRawValue(std::int64_t raw) {
        return raw >= 1 && raw <= 3 ? std::optional<Priority>(Priority{{}, raw}) : std::nullopt;
    }
};

// A raw type narrower than the archived number.
struct Small : orvane::BinarySerializable<Small> {
    std::int8_t value = 0;
    std::int8_t rawValue() const { return value; }
    static std::optional<Small> fromRawValue(std::int8_t raw) { return Small{{}, raw}; }
};

class Note : public orvane::NSObject, public orvane::NSCoding, public orvane::BinarySerializable<Note> {
public:
    explicit Note(std::string value = "") : text(std::move(value)) {}
    void encode(orvane::NSCoder& coder) const override { coder.encodeObject(Object(text), "text"); }
    template <class T = Note>
    static std::shared_ptr<T> initWithCoder(orvane::NSCoder& coder) {
        const auto text = coder.decodeObject("text");
        const std::string* string = text ? text->stringIf() : nullptr;
        return string ? std::make_shared<T>(*string) : nullptr;
    }
    static std::vector<orvane::CodingClass> moreCodingClasses();

    std::string text;
};

class PinnedNote : public Note {
public:
    using Note::Note;
    static std::shared_ptr<PinnedNote> initWithCoder(orvane::NSCoder& coder) {
        return Note::initWithCoder<PinnedNote>(coder);
    }
};

std::vector<orvane::CodingClass> Note::moreCodingClasses() {
    return {orvane::codingClass<PinnedNote>()};
}

static_assert(std::same_as<decltype(Note::deserialize(Data())), std::shared_ptr<Note>>);
static_assert(std::same_as<decltype(Settings::deserialize(Data())), std::optional<Settings>>);

Data archiveOf(const Object& root) {
    return orvane::NSKeyedArchiver::archivedData(root).value();
}

std::string nested(std::size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

TEST(BinarySerializableJSON, roundTripsAsCompactJSONRefusingOnlyNonFiniteNumbersAndBadText) {
    const Data compact = Settings{{}, "vault \u00e9", -3, 0.25, {"a", "b"}}.serialize();
    EXPECT_EQ(compact.toString(), R"({"name":"vault é","ratio":0.25,"retries":-3,"tags":["a","b"]})");
    EXPECT_EQ(Settings::deserialize(compact).value().serialize(), compact);
    for (const double bad : {std::nan(""), std::numeric_limits<double>::infinity()}) {
        const Data bytes = Settings{{}, "n", 0, bad, {}}.serialize();
        EXPECT_TRUE(bytes.empty());
        EXPECT_FALSE(Settings::deserialize(bytes).has_value());
    }
    EXPECT_TRUE((Settings{{}, "\xff", 0, 0, {}}.serialize().empty()));
    for (const double large : {6.022e23, -1e19, 1.8446744073709552e19, 1e300}) {
        EXPECT_EQ(Settings::deserialize(Settings{{}, "n", 0, large, {}}.serialize()).value().ratio, large);
    }
}

TEST(BinarySerializableJSON, bytesThatDoNotDescribeTheTypeOrNestTooDeeplyGiveNothing) {
    for (const std::string_view bad : std::initializer_list<std::string_view>{
             "not json",
             R"({"name":"x"})",                                    // members missing
             R"({"name":1,"retries":0,"ratio":0,"tags":[]})",      // wrong member type
             R"({"name":"x","retries":0,"ratio":0,"tags":[]} x)",  // trailing text
             std::string_view("{\"name\":\"x\",\"retries\":0,\"ratio\":0,\"tags\":[]}\0junk", 49),
         }) {
        EXPECT_FALSE(Settings::deserialize(Data(bad)).has_value()) << bad;
    }
    const Settings integral =
        Settings::deserialize(Data(R"({"name":"","retries":3e2,"ratio":2,"tags":[]})")).value();
    EXPECT_EQ(integral.retries, 300);
    EXPECT_EQ(integral.ratio, 2.0);

    // Nesting is bounded both ways.
    const Tree deepest = Tree::deserialize(Data(nested(orvane::jsonMaximumDepth))).value();
    EXPECT_EQ(deepest.serialize().toString(), nested(orvane::jsonMaximumDepth));
    EXPECT_FALSE(Tree::deserialize(Data(nested(orvane::jsonMaximumDepth + 1))).has_value());
    EXPECT_FALSE(Tree::deserialize(Data(nested(1'000'000))).has_value());
    EXPECT_TRUE((Tree{{}, {deepest}}.serialize().empty()));
}

TEST(BinarySerializableKeyedArchive, roundTripsTheObjectOwnedOrNotAndTakesOnlyItsClass) {
    const auto note = std::make_shared<Note>("remember");
    EXPECT_EQ(note->serialize(), archiveOf(Object(note)));
    const std::shared_ptr<Note> back = Note::deserialize(note->serialize());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->text, "remember");

    const Note onStack("local");
    EXPECT_EQ(Note::deserialize(onStack.serialize())->text, "local");

    // A subclass counts, another class does not.
    const auto pinned = std::make_shared<PinnedNote>("top");
    EXPECT_NE(std::dynamic_pointer_cast<PinnedNote>(Note::deserialize(pinned->serialize())), nullptr);

    EXPECT_EQ(Note::deserialize(archiveOf(Object(orvane::ObjectDictionary{{"text", "remember"}}))), nullptr);
}

TEST(BinarySerializableIntRawValue, roundTripsThroughAKeyedArchiveAndTakesOnlyValues) {
    for (const std::int64_t raw : {1, 2, 3}) {
        const Data bytes = Priority{{}, raw}.serialize();
        EXPECT_EQ(bytes, archiveOf(Object(raw)));
        EXPECT_EQ(Priority::deserialize(bytes).value().value, raw);
    }
    // Any number's integer value, when it is a value.
    EXPECT_EQ(Priority::deserialize(archiveOf(Object(true))).value().value, 1);
    EXPECT_EQ(Priority::deserialize(archiveOf(Object(2.9))).value().value, 2);
    for (const Object& noValue :
         {Object(4), Object(-1.5), Object(1e300), Object("2"), Object(orvane::ObjectArray{2})}) {
        EXPECT_FALSE(Priority::deserialize(archiveOf(noValue)).has_value()) << noValue.description();
    }
    EXPECT_EQ(orvane::NSKeyedUnarchiver::unarchiveObject(archiveOf(Object(UINT64_MAX))), Object(UINT64_MAX));
    EXPECT_EQ(Small::deserialize(archiveOf(Object(-128))).value().value, -128);
    EXPECT_FALSE(Small::deserialize(archiveOf(Object(128))).has_value());
}

}  // namespace binaryserializabletests
