#include "Platform/Foundation/Data.hpp"

#include <gtest/gtest.h>

#include <string>
#include <unordered_set>

using orvane::Data;

namespace {

Data bytes(std::string_view text) {
    return Data(text);
}

}  // namespace

TEST(Data, base64MatchesTheStandardTestVectors) {
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(bytes(plain).base64EncodedString(), encoded) << plain;
        EXPECT_EQ(Data::fromBase64(encoded), bytes(plain)) << encoded;
    }
}

TEST(Data, base64HasNoLineBreaksForLongInput) {
    const Data large(std::string(10'000, 'x'));
    const std::string text = large.base64EncodedString();
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(Data::fromBase64(text), large);
}

TEST(Data, base64DecodingRejectsMalformedText) {
    for (const char* text : {"Zg=", "Zg", "Z===", "Zm9v\n", "Zm 9", "Zm=v", "Zm9*", "====", "Zg==Zg=="}) {
        EXPECT_FALSE(Data::fromBase64(text).has_value()) << text;
    }
}

TEST(Data, keepsEmbeddedNulBytesAndBinaryValues) {
    const unsigned char raw[] = {0, 1, 0, 255, 0};
    const Data data(raw, sizeof raw);
    EXPECT_EQ(data.size(), 5u);
    EXPECT_EQ(data.toString(), std::string("\0\1\0\xff\0", 5));
    EXPECT_EQ(Data::fromBase64(data.base64EncodedString()), data);
}

TEST(Data, comparesOrdersAndHashesByContent) {
    EXPECT_EQ(bytes("abc"), bytes("abc"));
    EXPECT_NE(bytes("abc"), bytes("abd"));
    EXPECT_NE(bytes("ab"), bytes("abc"));
    EXPECT_LT(bytes("ab"), bytes("abc"));
    EXPECT_LT(bytes("abc"), bytes("abd"));
    EXPECT_EQ(Data(), Data(""));
    std::unordered_set<Data> set{bytes("one"), bytes("two"), bytes("one")};
    EXPECT_EQ(set.size(), 2u);
}

TEST(Data, copiesAreIndependentAndAssignmentReplacesWholly) {
    Data original = bytes("secret-long-value");
    Data copy = original;
    copy = bytes("short");
    EXPECT_EQ(copy, bytes("short"));
    EXPECT_EQ(original, bytes("secret-long-value"));

    Data moved = std::move(original);
    EXPECT_EQ(moved, bytes("secret-long-value"));
    copy = std::move(moved);
    EXPECT_EQ(copy, bytes("secret-long-value"));

    Data& self = copy;
    copy = self;
    EXPECT_EQ(copy, bytes("secret-long-value"));
}

TEST(Data, appendingGrowsWithoutLosingBytes) {
    Data data;
    std::string expected;
    for (int round = 0; round < 200; ++round) {
        const std::string piece = std::to_string(round) + ",";
        data.append(bytes(piece));
        expected += piece;
    }
    EXPECT_EQ(data.toString(), expected);
}

TEST(Data, indexedAccessIsChecked) {
    const Data data = bytes("ab");
    EXPECT_EQ(data[1], 'b');
    EXPECT_THROW((void)data[2], std::out_of_range);
}
