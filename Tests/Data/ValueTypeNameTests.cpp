#include "Data/ValueTypeName.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace valuetypenametests {
struct Point {};
}  // namespace valuetypenametests

TEST(ValueTypeName, namesByWidthAndShapeNotByPlatformSpelling) {
    EXPECT_EQ(orvane::valueTypeName<const std::string&>(), "String");
    EXPECT_EQ(orvane::valueTypeName<long long>(), "Int");
    EXPECT_EQ(orvane::valueTypeName<std::int64_t>(), "Int");
    EXPECT_EQ(orvane::valueTypeName<std::uint16_t>(), "UInt16");
    EXPECT_EQ((orvane::valueTypeName<std::map<std::string, std::vector<bool>>>()),
              "Dictionary<String, Array<Bool>>");
    EXPECT_EQ(orvane::valueTypeName<std::optional<orvane::Object>>(), "Optional<Any>");
    EXPECT_EQ(orvane::valueTypeName<std::shared_ptr<valuetypenametests::Point>>(), "Point");
}
