#include "Platform/Foundation/Data.hpp"

#include <gtest/gtest.h>

#include <string>

using orvane::Data;

TEST(Data, base64MatchesTheStandardTestVectors) {
    const std::pair<std::string, const char*> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {std::string("\0\1\0\xff\0", 5), "AAEA/wA="},
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(Data(plain).base64EncodedString(), encoded) << encoded;
        EXPECT_EQ(Data::fromBase64(encoded), Data(plain)) << encoded;
    }
    // No line breaks, however long.
    const Data large(std::string(10'000, 'x'));
    EXPECT_EQ(large.base64EncodedString().find('\n'), std::string::npos);
    EXPECT_EQ(Data::fromBase64(large.base64EncodedString()), large);
}

TEST(Data, base64DecodingRejectsMalformedText) {
    for (const char* text : {"Zg=", "Zg", "Z===", "Zm9v\n", "Zm 9", "Zm=v", "Zm9*", "====", "Zg==Zg=="}) {
        EXPECT_FALSE(Data::fromBase64(text).has_value()) << text;
    }
}

TEST(Data, comparesOrdersAndIndexesByContentEmbeddedNulsIncluded) {
    EXPECT_EQ(Data("abc"), Data("abc"));
    EXPECT_NE(Data("abc"), Data("abd"));
    EXPECT_NE(Data("ab"), Data("abc"));
    EXPECT_NE(Data(std::string("a\0b", 3)), Data(std::string("a\0c", 3)));
    EXPECT_LT(Data("ab"), Data("abc"));
    EXPECT_LT(Data("abc"), Data("abd"));
    EXPECT_EQ(Data(), Data(""));
    EXPECT_EQ(std::hash<Data>{}(Data("one")), std::hash<Data>{}(Data("one")));
    EXPECT_EQ(Data(std::string("\0\1", 2)).toString(), std::string("\0\1", 2));
    EXPECT_EQ(Data("ab")[1], 'b');
    EXPECT_THROW((void)Data("ab")[2], std::out_of_range);
}

TEST(Data, assignmentAndAppendingKeepEveryByte) {
    Data original = Data("secret-long-value");
    Data copy = original;
    copy = Data("short");
    EXPECT_EQ(original, Data("secret-long-value"));
    copy = std::move(original);
    EXPECT_EQ(copy, Data("secret-long-value"));
    Data& self = copy;
    copy = self;
    EXPECT_EQ(copy, Data("secret-long-value"));

    Data data;
    std::string expected;
    for (int round = 0; round < 200; ++round) {
        const std::string piece = std::to_string(round) + ",";
        data.append(Data(piece));
        expected += piece;
    }
    EXPECT_EQ(data.toString(), expected);
}
