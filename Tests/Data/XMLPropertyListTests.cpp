#include "Data/XMLPropertyList.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using orvane::XMLPropertyList;

std::string repeated(std::string_view unit, std::size_t times) {
    std::string text;
    for (std::size_t time = 0; time < times; ++time) {
        text += unit;
    }
    return text;
}

std::string nestedArrays(std::size_t depth, const std::string& middle = "<true/>") {
    return "<plist>" + repeated("<array>", depth) + middle + repeated("</array>", depth) + "</plist>";
}

TEST(XMLPropertyList, acceptsTheUsualDecorationsAndEveryFormOfAValue) {
    // libplist's own output is read back by every round trip of the serialization tests.
    EXPECT_TRUE(XMLPropertyList::parse(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- settings -->\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
        "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\"><dict><key>k</key><string><![CDATA[x & y]]></string></dict></plist>\n"));
    for (const char* number :
         {"<integer>-9223372036854775808</integer>", "<integer>18446744073709551615</integer>",
          "<integer>0x1F</integer>", "<integer>+0</integer>", "<real>-1.5e3</real>", "<real>.5</real>",
          "<real>2.</real>", "<real>-inf</real>", "<real>NaN</real>", "<date>2024-02-29T23:59:59Z</date>",
          "<data> AAE= </data>"}) {
        EXPECT_TRUE(XMLPropertyList::parse(std::string("<plist>") + number + "</plist>")) << number;
    }
}

TEST(XMLPropertyList, boundsNestingAndSize) {
    const XMLPropertyList::Limits limits{.maximumDepth = 8, .maximumExpandedNodes = 9};
    EXPECT_EQ(XMLPropertyList::findProblem(nestedArrays(8), limits), std::nullopt);
    EXPECT_EQ(XMLPropertyList::findProblem(nestedArrays(9), limits), "nested too deeply");
    // An empty container and a nested wrapper are levels too.
    EXPECT_EQ(XMLPropertyList::findProblem(nestedArrays(8, "<dict/>"), limits), "nested too deeply");
    EXPECT_EQ(XMLPropertyList::findProblem("<plist><plist><true/></plist></plist>", {.maximumDepth = 0}),
              "nested too deeply");
    EXPECT_EQ(XMLPropertyList::findProblem(nestedArrays(8, "<true/><true/>"), limits), "too many elements");

    EXPECT_TRUE(XMLPropertyList::parse(nestedArrays(256)));
    EXPECT_FALSE(XMLPropertyList::parse(nestedArrays(257)));
    // Unclosed dictionaries a million deep crash libplist 2.2's parser.
    EXPECT_FALSE(XMLPropertyList::parse("<plist>" + repeated("<dict><key>a</key>", 1'000'000)));
}

// Each of these could make libplist see elements the scan did not count, or
// is not XML at all.
TEST(XMLPropertyList, refusesAmbiguousOrMalformedMarkup) {
    const std::string cases[] = {
        std::string("<plist><true/>\0</plist>", 23),
        "<plist><!-- </array><array> --><true/></plist>",
        "<plist><!-- a > b --><true/></plist>",
        "<plist><string><![CDATA[<array>]]></string></plist>",
        "<?pi <array> ?><plist><true/></plist>",
        "<!DOCTYPE plist [ <!ENTITY x \"y\"> ]><plist><true/></plist>",
        "<!DOCTYPE plist PUBLIC \"a>b\"><plist><true/></plist>",
        "<!ELEMENT x><plist><true/></plist>",
        "<plist><array a=\"/>\"><true/></array></plist>",
        "<plist><array a='x'><true/></array></plist>",
        "<plist><array/ ></plist>",
        "<plist><array><true/></dict></plist>",
        "<plist><string>a<true/>b</string></plist>",
        "<plist>< true/></plist>",
        "<plist><array><true/></array>",
        // Scalar text that is no value of its type.
        "<plist><integer>42xy</integer></plist>",
        "<plist><integer>99999999999999999999</integer></plist>",
        "<plist><integer>-9223372036854775809</integer></plist>",
        "<plist><integer>010</integer></plist>",  // libplist reads octal
        "<plist><integer> -1</integer></plist>",  // libplist reads 2^64 - 1
        "<plist><integer/></plist>",
        "<plist><real>1.5garbage</real></plist>",
        "<plist><real>.</real></plist>",
        "<plist><date>not a date</date></plist>",
        "<plist><date>2023-02-29T00:00:00Z</date></plist>",
        "<plist><date>0000-01-01T00:00:00Z</date></plist>",
        "<plist><true>1</true></plist>",
        "<plist><data>%%</data></plist>",
    };
    for (const std::string& text : cases) {
        EXPECT_NE(XMLPropertyList::findProblem(text), std::nullopt) << text;
        EXPECT_FALSE(XMLPropertyList::parse(text)) << text;
    }
}

}  // namespace
