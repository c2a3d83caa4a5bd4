#include "Platform/Foundation/NSError.hpp"
#include "Platform/Foundation/Object.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <vector>

using orvane::Object;
using orvane::ObjectArray;
using orvane::ObjectDictionary;
using orvane::toObject;

namespace {

class Animal : public orvane::NSObject {};
class Dog : public Animal {};

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct Opaque {
    int value = 0;
};

}  // namespace

TEST(ObjectConversion, booleansAndNumbersDoNotMix) {
    EXPECT_EQ(Object(true).as<bool>(), true);
    EXPECT_FALSE(Object(true).as<int>().has_value());
    EXPECT_FALSE(Object(true).as<double>().has_value());
    EXPECT_FALSE(Object(1).as<bool>().has_value());
    EXPECT_FALSE(Object(0.0).as<bool>().has_value());
}

TEST(ObjectConversion, integersAcceptOnlyIntegralValuesInRangeAndDoublesAnyNumber) {
    EXPECT_EQ(Object(300).as<int>(), 300);
    EXPECT_FALSE(Object(300).as<std::int8_t>().has_value());
    EXPECT_FALSE(Object(-1).as<unsigned>().has_value());
    EXPECT_EQ(Object(3.0).as<int>(), 3);
    EXPECT_FALSE(Object(3.5).as<int>().has_value());
    EXPECT_FALSE(Object(std::nan("")).as<long>().has_value());
    EXPECT_FALSE(Object(std::numeric_limits<double>::infinity()).as<long>().has_value());
    // 2^63 is exactly representable as a double but one past the int64 range.
    EXPECT_FALSE(Object(9223372036854775808.0).as<std::int64_t>().has_value());
    EXPECT_EQ(Object(-9223372036854775808.0).as<std::int64_t>(), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(Object(std::numeric_limits<std::int64_t>::max()).as<std::int64_t>(),
              std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(Object(2).as<double>(), 2.0);
    EXPECT_EQ(Object(2.5).as<float>(), 2.5f);
}

TEST(ObjectConversion, containersConvertElementByElement) {
    const Object list = toObject(std::vector<int>{1, 2, 3});
    EXPECT_EQ(list.as<std::vector<int>>(), (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(list.as<std::vector<std::string>>().has_value());

    EXPECT_FALSE(Object(ObjectArray{1, "two"}).as<std::vector<int>>().has_value());

    const Object map = toObject(std::map<std::string, std::string>{{"a", "x"}, {"b", "y"}});
    EXPECT_EQ((map.as<std::map<std::string, std::string>>()),
              (std::map<std::string, std::string>{{"a", "x"}, {"b", "y"}}));
    EXPECT_FALSE((map.as<std::map<std::string, int>>().has_value()));
}

TEST(ObjectConversion, optionalsMapToTheNullObject) {
    EXPECT_TRUE(toObject(std::optional<int>{}).isNull());
    EXPECT_EQ(toObject(std::optional<int>{5}).as<int>(), 5);
    EXPECT_EQ(Object().as<std::optional<int>>(), std::optional<std::optional<int>>(std::optional<int>()));
    EXPECT_FALSE(Object("x").as<std::optional<int>>().has_value());
}

TEST(ObjectConversion, referencesConvertByDynamicType) {
    const auto dog = std::make_shared<Dog>();
    const Object object(dog);
    EXPECT_EQ(object.as<std::shared_ptr<Dog>>(), dog);
    EXPECT_EQ(object.as<std::shared_ptr<Animal>>(), dog);
    EXPECT_FALSE(Object(std::make_shared<Animal>()).as<std::shared_ptr<Dog>>().has_value());
    EXPECT_TRUE(Object(std::shared_ptr<Dog>()).isNull());
    EXPECT_FALSE(Object().as<std::shared_ptr<Dog>>().has_value());
}

TEST(ObjectConversion, boxesConvertBackOnlyToTheirOwnType) {
    const Object boxed = toObject(Point{1, 2});
    EXPECT_EQ(boxed.kind(), Object::Kind::box);
    EXPECT_EQ(boxed.as<Point>(), (Point{1, 2}));
    EXPECT_FALSE(boxed.as<Opaque>().has_value());
    EXPECT_FALSE(boxed.as<std::string>().has_value());
    EXPECT_FALSE(Object(1).as<Point>().has_value());
    // An explicitly boxed string is a box, not a string object.
    EXPECT_EQ(Object::box(std::string("s")).kind(), Object::Kind::box);
    EXPECT_EQ(Object::box(std::string("s")).as<std::string>(), "s");
}

TEST(ObjectEquality, numbersCompareByValueButBooleansStandApart) {
    EXPECT_EQ(Object(1), Object(1.0));
    EXPECT_NE(Object(1), Object(1.5));
    EXPECT_NE(Object(true), Object(1));
    EXPECT_NE(Object(0), Object(false));
    EXPECT_NE(Object("1"), Object(1));
    EXPECT_EQ(Object(), Object(nullptr));
    EXPECT_NE(Object(), Object(0));
    // Beyond 2^53 a double cannot hold every integer: compare exactly, both ways round.
    constexpr std::int64_t twoTo53 = std::int64_t{1} << 53;
    EXPECT_EQ(Object(twoTo53), Object(9007199254740992.0));
    EXPECT_NE(Object(twoTo53 + 1), Object(9007199254740992.0));
    EXPECT_NE(Object(9007199254740992.0), Object(twoTo53 + 1));
    EXPECT_NE(Object(std::numeric_limits<std::int64_t>::max()), Object(9223372036854775808.0));
    EXPECT_EQ(Object(std::numeric_limits<std::int64_t>::min()), Object(-9223372036854775808.0));
    EXPECT_NE(Object(0), Object(std::nan("")));
}

TEST(ObjectEquality, containersCompareDeeply) {
    EXPECT_EQ(Object(ObjectArray{1, "a", ObjectDictionary{{"k", 2.0}}}),
              Object(ObjectArray{1.0, "a", ObjectDictionary{{"k", 2}}}));
}

TEST(ObjectEquality, referencesUseIsEqualAndBoxesTheirOwnEquality) {
    const auto dog = std::make_shared<Dog>();
    EXPECT_EQ(Object(dog), Object(dog));
    EXPECT_NE(Object(dog), Object(std::make_shared<Dog>()));
    EXPECT_EQ(toObject(orvane::NSError("D", 1)), toObject(orvane::NSError("D", 1)));
    EXPECT_NE(toObject(orvane::NSError("D", 1)), toObject(orvane::NSError("D", 2)));

    EXPECT_EQ(toObject(Point{1, 2}), toObject(Point{1, 2}));
    EXPECT_NE(toObject(Point{1, 2}), toObject(Point{2, 1}));
    // Without ==, two boxes are equal only when they are the same box.
    const Object opaque = toObject(Opaque{1});
    EXPECT_EQ(opaque, opaque);
    EXPECT_NE(toObject(Opaque{1}), toObject(Opaque{1}));
}

TEST(ObjectDescription, neverShowsTheBytesOfData) {
    const Object secret(orvane::Data(std::string_view("hunter2")));
    EXPECT_EQ(secret.description(), "<7 bytes>");
    EXPECT_EQ(Object(ObjectDictionary{{"a", ObjectArray{1, secret}}}).description(), "{a = (1, <7 bytes>)}");
}
