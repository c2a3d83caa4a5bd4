#include "Data/JSONObjectParser.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using orvane::Object;
using orvane::ObjectArray;
using orvane::ObjectDictionary;

std::optional<Object> parse(std::string_view text) {
    return orvane::JSONObjectParser::parse(orvane::Data(text).bytes());
}

TEST(JSONObjectParser, keepsTheKindOfEveryValue) {
    const auto root = parse(R"({"s":"t\u00e9","i":-7,"u":42,"d":2.5,"e":1e2,"t":true,"n":null,
                                "a":[1,"x"],"o":{"k":[]},"dup":1,"dup":2})");
    ASSERT_TRUE(root.has_value());
    const ObjectDictionary& contents = *root->dictionaryIf();
    EXPECT_EQ(contents.at("s"), Object("t\u00e9"));
    EXPECT_EQ(contents.at("i").kind(), Object::Kind::integer);
    EXPECT_EQ(contents.at("u").kind(), Object::Kind::integer);
    EXPECT_EQ(contents.at("d").kind(), Object::Kind::real);
    EXPECT_EQ(contents.at("e").kind(), Object::Kind::real);
    EXPECT_EQ(contents.at("t").kind(), Object::Kind::boolean);
    EXPECT_TRUE(contents.at("n").isNull());
    EXPECT_EQ(contents.at("a"), Object(ObjectArray{1, "x"}));
    EXPECT_EQ(contents.at("o"), Object(ObjectDictionary{{"k", ObjectArray{}}}));
    EXPECT_EQ(contents.at("dup"), Object(2));  // the last of two equal keys
    // Integers up to unsigned 64 bits stay integers.
    EXPECT_EQ(parse("-9223372036854775808")->as<std::int64_t>(), INT64_MIN);
    EXPECT_EQ(parse("9223372036854775808")->as<std::uint64_t>(), 9223372036854775808u);
    EXPECT_EQ(parse("18446744073709551615")->as<std::uint64_t>(), UINT64_MAX);
    EXPECT_EQ(parse("1" + std::string(30, '0'))->kind(), Object::Kind::real);
}

// The grammar is nlohmann's; these are the cases this wrapper decides.
TEST(JSONObjectParser, refusesWhatIsNotJSONOrNestedTooDeeply) {
    for (const char* bad : {"", "{", "{}x", "01", "NaN", "1e400", "\"\xff\"", "/* c */ {}"}) {
        EXPECT_FALSE(parse(bad).has_value()) << bad;
    }
    // A NUL byte is no end of input: what follows it counts.
    EXPECT_FALSE(parse(std::string_view("{}\0junk", 7)).has_value());
    EXPECT_FALSE(parse(std::string_view("\"a\0\"", 4)).has_value());

    const std::size_t limit = orvane::jsonMaximumDepth;
    EXPECT_TRUE(parse(std::string(limit, '[') + std::string(limit, ']')).has_value());
    EXPECT_FALSE(parse(std::string(limit + 1, '[') + std::string(limit + 1, ']')).has_value());
    // Far too deep, whole or cut short: refused without exhausting the stack.
    EXPECT_FALSE(parse(std::string(1'000'000, '[') + std::string(1'000'000, ']')).has_value());
    EXPECT_FALSE(parse(std::string(2'000'000, '[')).has_value());
}

}  // namespace
