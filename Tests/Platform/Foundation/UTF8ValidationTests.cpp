#include "Platform/Foundation/UTF8Validation.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

bool isValid(std::string_view text) {
    return orvane::isValidUTF8({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

// Decodes code point by code point, straight from the definition of UTF-8.
bool referenceIsValid(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<std::uint8_t>(text[at]);
        const std::size_t length = lead < 0x80         ? 1
                                   : (lead >> 5) == 6  ? 2
                                   : (lead >> 4) == 14 ? 3
                                   : (lead >> 3) == 30 ? 4
                                                       : 0;
        if (length == 0 || at + length > text.size()) {
            return false;
        }
        std::uint32_t codePoint = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t index = 1; index < length; ++index) {
            const auto next = static_cast<std::uint8_t>(text[at + index]);
            if ((next >> 6) != 2) {
                return false;
            }
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (codePoint < smallest[length] || (codePoint >= 0xD800 && codePoint <= 0xDFFF) ||
            codePoint > 0x10FFFF) {
            return false;
        }
        at += length;
    }
    return true;
}

TEST(UTF8Validation, acceptsEveryBoundaryOfTheWellFormedRanges) {
    for (const std::size_t size : {0u, 1u, 61u, 63u, 100u}) {
        const std::string padding(size, 'p');
        for (const char* valid : {"\x7f", "\xc2\x80", "\xdf\xbf", "\xe0\xa0\x80", "\xed\x9f\xbf",
                                  "\xee\x80\x80", "\xef\xbf\xbf", "\xf0\x90\x80\x80", "\xf4\x8f\xbf\xbf"}) {
            EXPECT_TRUE(isValid(padding + valid + padding)) << padding.size() << " " << valid;
        }
        EXPECT_TRUE(isValid(padding + std::string(1, '\0') + padding));
    }
}

TEST(UTF8Validation, refusesEveryKindOfMalformedSequence) {
    for (const std::size_t size : {0u, 62u, 64u, 100u}) {
        const std::string padding(size, 'p');
        for (const char* invalid : {
                 "\x80",              // continuation without a lead
                 "\xc0\xaf",          // overlong "/"
                 "\xc1\xbf",          // overlong
                 "\xe0\x9f\xbf",      // overlong three-byte form
                 "\xed\xa0\x80",      // surrogate
                 "\xf0\x8f\xbf\xbf",  // overlong four-byte form
                 "\xf4\x90\x80\x80",  // above U+10FFFF
                 "\xf5\x80\x80\x80",  // no such lead byte
                 "\xff",
                 "\xc3",          // cut short
                 "\xe2\x82",      // cut short
                 "\xe2\x28\xa1",  // bad continuation
                 "\xc3\xa9\xa9",  // one continuation too many
             }) {
            EXPECT_FALSE(isValid(padding + invalid)) << padding.size() << " " << invalid;
            EXPECT_FALSE(isValid(padding + invalid + padding)) << padding.size() << " " << invalid;
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
        ASSERT_EQ(isValid(text), referenceIsValid(text)) << testing::PrintToString(text);
    }
    EXPECT_GT(invalid, 2000);  // both answers were exercised
    EXPECT_LT(invalid, 18000);
}

}  // namespace
