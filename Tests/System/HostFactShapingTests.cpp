#include "System/HostFactShaping.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using namespace orvane::hostfacts;

const std::string fffd = "\xEF\xBF\xBD";

TEST(HostFactShaping, replacesEachMaximalSubpartOfIllFormedUTF8Once) {
    const struct {
        std::string bytes, text;
    } cases[] = {
        {"caf\xC3\xA9 \xF0\x9F\x98\x80", "caf\xC3\xA9 \xF0\x9F\x98\x80"},
        // The Unicode Standard's own example (table 3-8): a truncated
        // three- and four-byte sequence each count once, stray bytes each once
        // (octal escapes, so that the letters after them stay letters).
        {"a\361\200\200\341\200\302b\200c\200\277d",
         "a" + fffd + fffd + fffd + "b" + fffd + "c" + fffd + fffd + "d"},
        {"\xC0\xAF", fffd + fffd},                        // overlong lead
        {"\xED\xA0\x80", fffd + fffd + fffd},             // surrogate
        {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},  // above U+10FFFF
        {"\xF0\x9F\x98", fffd},                           // cut short at the end
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(replacingIllFormedUTF8(bytes), text) << testing::PrintToString(bytes);
    }
}

TEST(HostFactShaping, kernelTextStopsAtNulAndDropsOneNewline) {
    const struct {
        std::string bytes, text;
    } cases[] = {
        {"Latitude 7490\n", "Latitude 7490"},
        {std::string("model\0garbage\n", 14), "model"},
        {"two\n\n", "two\n"},
        {"\n", ""},
        {"", ""},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(kernelText(bytes), text) << testing::PrintToString(bytes);
    }
}

TEST(HostFactShaping, osReleaseValueUndoesShellQuoting) {
    const struct {
        std::string contents;
        std::optional<std::string> value;
    } cases[] = {
        {"NAME=Debian\nVERSION_ID=\"12\"\n", "12"},
        {"VERSION_ID='22.04'", "22.04"},
        {"VERSION_ID=8.6\r\n", "8.6"},
        {"  VERSION_ID = \"1\\\"2\\\\3\\$x\\n\"  # comment\n", "1\"2\\3$x\\n"},
        {"VERSION_ID=a\\ b'c d'\"e\"", "a bc de"},
        {"VERSION_ID=1 2", "1"},
        {"export VERSION_ID=39", "39"},
        {"VERSION_ID=1\nVERSION_ID=2\n", "2"},    // the last assignment wins
        {"VERSION_ID=3\nVERSION_ID=\"4\n", "3"},  // an open quote is skipped
        {"# VERSION_ID=7\nMY_VERSION_ID=8\nVERSION_ID_X=9\n", std::nullopt},
        {"VERSION_ID=\n", ""},
        {"", std::nullopt},
    };
    for (const auto& [contents, value] : cases) {
        EXPECT_EQ(osReleaseValue(contents, "VERSION_ID"), value) << testing::PrintToString(contents);
    }
}

TEST(HostFactShaping, threePartVersionKeepsLeadingNumbersOnly) {
    const struct {
        std::string text;
        std::optional<std::string> version;
    } cases[] = {
        {"12", "12.0.0"},
        {"22.04", "22.4.0"},
        {"1.2.3.4", "1.2.3"},
        {"6.1.0-18-amd64", "6.1.0"},
        {"5.", "5.0.0"},
        {"5..1", "5.0.0"},
        {"0007.010", "7.10.0"},
        {"18446744073709551615", "18446744073709551615.0.0"},
        {"18446744073709551616", std::nullopt},
        {"rolling", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, version] : cases) {
        EXPECT_EQ(threePartVersion(text), version) << text;
    }
}

TEST(HostFactShaping, lastCharactersCountsUserPerceivedCharacters) {
    const std::string combined = "e\xCC\x81";                                   // e + COMBINING ACUTE
    const std::string flag = "\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA";                // two regional indicators
    const std::string family = "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";  // woman ZWJ girl
    const std::string hangul = "\xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8";  // L V T jamo
    const struct {
        std::string text, last;
    } cases[] = {
        {"C02XK1ABJG5H", "1ABJG5H"},
        {"ABCDEFGH", "BCDEFGH"},
        {"ABCDEFG", "ABCDEFG"},
        {"", ""},
        {"\u00C4\u00D6\u00DCABCDE", "\u00D6\u00DCABCDE"},  // 8 characters, 11 bytes
        {"XX" + combined + "ABCDE", "X" + combined + "ABCDE"},
        {"X" + flag + flag + "ABCDEF", flag + "ABCDEF"},
        {"X" + family + "ABCDEF", family + "ABCDEF"},
        {"X" + hangul + "ABCDEF", hangul + "ABCDEF"},
        {"XY\r\nABCDE", "Y\r\nABCDE"},
        {"X\377\376ABCDE", fffd + fffd + "ABCDE"},
    };
    for (const auto& [text, last] : cases) {
        EXPECT_EQ(lastCharacters(text, 7), last) << testing::PrintToString(text);
    }
    EXPECT_EQ(lastCharacters("ABC", 0), "");
}

}  // namespace
