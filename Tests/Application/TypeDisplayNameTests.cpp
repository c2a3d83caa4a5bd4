#include "Application/TypeDisplayName.hpp"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

using orvane::typeDisplayName;

namespace first {
struct Logger {};
}  // namespace first
namespace second {
struct Logger {};
struct Outer {
    struct Inner {};
};
template <class T>
struct Box {};
template <class Key, class Value = int>
struct Pair {};
template <class T, int N>
struct Fixed {};
enum class Color { red };
}  // namespace second
namespace {
struct Hidden {};
}  // namespace

using second::Box;

static_assert(typeDisplayName<Box<std::string>>() == "Box<string>", "a constant expression");

TEST(TypeDisplayName, isTheDeclaredNameWithoutQualifiers) {
    struct Local {};
    EXPECT_EQ(typeDisplayName<first::Logger>(), "Logger");
    EXPECT_EQ(typeDisplayName<second::Outer::Inner>(), "Inner");
    EXPECT_EQ(typeDisplayName<Hidden>(), "Hidden");
    EXPECT_EQ(typeDisplayName<Local>(), "Local");
    EXPECT_EQ(typeDisplayName<const first::Logger&>(), "Logger");
}

TEST(TypeDisplayName, writesTemplateArgumentsByTheirOwnNamesWithoutDefaults) {
    EXPECT_EQ(typeDisplayName<Box<int>>(), "Box<int>");
    EXPECT_EQ(typeDisplayName<Box<first::Logger>>(), "Box<Logger>");
    EXPECT_EQ(typeDisplayName<Box<Box<int>>>(), "Box<Box<int>>");
    EXPECT_EQ((typeDisplayName<std::map<std::string, std::vector<long>>>()), "map<string, vector<long>>");
    EXPECT_EQ((typeDisplayName<std::tuple<std::string_view, const char*>>()),
              "tuple<string_view, const char*>");
    EXPECT_EQ((typeDisplayName<second::Pair<char, int>>()), "Pair<char>");
    EXPECT_EQ((typeDisplayName<second::Pair<char, long>>()), "Pair<char, long>");
    EXPECT_EQ((typeDisplayName<std::pair<const int, Box<int&>>>()), "pair<const int, Box<int&>>");
}

TEST(TypeDisplayName, showsOptionalsAsOptionalAndSharedPointersAsTheirObject) {
    EXPECT_EQ(typeDisplayName<std::optional<Box<std::string>>>(), "Optional<Box<string>>");
    EXPECT_EQ(typeDisplayName<std::shared_ptr<const first::Logger>>(), "Logger");
    EXPECT_EQ(typeDisplayName<std::optional<std::shared_ptr<first::Logger>>>(), "Optional<Logger>");
    EXPECT_EQ(typeDisplayName<std::unique_ptr<first::Logger>>(), "unique_ptr<Logger>");
}

TEST(TypeDisplayName, spellsEveryTypeAlikeOnGccAndClang) {
    // g++ itself writes "long int", "long unsigned int", "Box<int> >",
    // "int [3]" and "std::__cxx11::basic_string<char>".
    EXPECT_EQ((typeDisplayName<Box<std::tuple<long, unsigned long, short>>>()),
              "Box<tuple<long, unsigned long, short>>");
    EXPECT_EQ(typeDisplayName<std::nullptr_t>(), "nullptr_t");
    EXPECT_EQ((typeDisplayName<second::Fixed<Box<unsigned long long>, -2>>()),
              "Fixed<Box<unsigned long long>, -2>");
    EXPECT_EQ(typeDisplayName<Box<second::Color>>(), "Box<Color>");
    EXPECT_EQ(typeDisplayName<std::function<int(double)>>(), "function<int(double)>");
    EXPECT_EQ(typeDisplayName<int[3]>(), "int[3]");
    EXPECT_EQ((typeDisplayName<std::array<long, 3>>()), "array<long, 3>");
}
