#include "Platform/Foundation/UTF8Validation.hpp"

#include <glib.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using orvane::isValidUTF8;

// GLib's validator as the reference; it refuses NUL, which the random text never holds.
bool referenceIsValid(std::string_view text) {
    return g_utf8_validate_len(text.data(), text.size(), nullptr);
}

TEST(UTF8Validation, decidesAtEveryEdgeOfTheWellFormedRangesWhereverTheBlocksFall) {
    // The first and last of each range, and NUL.
    const std::string_view valid[] = {
        "\x7f",         "\xc2\x80",     "\xdf\xbf",         "\xe0\xa0\x80",     "\xed\x9f\xbf",
        "\xee\x80\x80", "\xef\xbf\xbf", "\xf0\x90\x80\x80", "\xf4\x8f\xbf\xbf", std::string_view("\0", 1)};
    const std::string_view invalid[] = {
        // overlong forms, a surrogate, beyond U+10FFFF, no such lead byte
        "\xc0\xaf", "\xc1\xbf", "\xe0\x9f\xbf", "\xf0\x8f\xbf\xbf", "\xed\xa0\x80", "\xf4\x90\x80\x80",
        "\xf5\x80\x80\x80", "\xff",
        // a stray continuation, cut short, a bad continuation, one continuation too many
        "\x80", "\xc3", "\xe2\x82", "\xe2\x28\xa1", "\xc3\xa9\xa9"};
    for (const std::size_t size : {0u, 1u, 61u, 62u, 63u, 64u, 100u}) {
        const std::string padding(size, 'p');
        for (const std::string_view bytes : valid) {
            EXPECT_TRUE(isValidUTF8(padding + std::string(bytes) + padding)) << size << " " << bytes;
        }
        for (const std::string_view bytes : invalid) {
            EXPECT_FALSE(isValidUTF8(padding + std::string(bytes))) << size << " " << bytes;
            EXPECT_FALSE(isValidUTF8(padding + std::string(bytes) + padding)) << size << " " << bytes;
        }
    }
}

TEST(UTF8Validation, agreesWithTheDefinitionOnRandomMixedText) {
    // Latin text (ASCII and two-byte letters), then other characters and
    // malformed bytes, mixed in at several rates.
    const std::vector<std::string> latin{"a", "Zz0 ", "\xc3\xa9", "\xc3\x9f", "\xd0\x96"};
    const std::vector<std::string> other{"\xe2\x82\xac", "\xe4\xb8\xad", "\xf0\x9f\x98\x80", "\xc3", "\xa9",
                                         "\xed\xa0\x80", "\xe0\x80\xaf", "\xf4\x90\x80\x80", "\xff"};
    std::mt19937 random(20240601);
    int invalid = 0;
    for (int sample = 0; sample < 20000; ++sample) {
        const unsigned otherPerMille = std::vector<unsigned>{0, 5, 50, 300}[sample % 4];
        const std::size_t length = random() % 400;
        std::string text;
        while (text.size() < length) {
            text += random() % 1000 < otherPerMille ? other[random() % other.size()]
                                                    : latin[random() % latin.size()];
        }
        invalid += referenceIsValid(text) ? 0 : 1;
        ASSERT_EQ(isValidUTF8(text), referenceIsValid(text)) << testing::PrintToString(text);
    }
    EXPECT_GT(invalid, 2000);  // both answers were exercised
    EXPECT_LT(invalid, 18000);
}

}  // namespace
