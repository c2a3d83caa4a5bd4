#include "Platform/Object.hpp"

#include <gtest/gtest.h>

TEST(Object, placeholder) {
    EXPECT_EQ(orvane::toObject(1).as<int>(), 1);
}
