#include "Platform/Text/CSSColor.hpp"
#include "Platform/Text/CSSStyleSheet.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvane {
namespace {

TEST(CSSColor, Values) {
    const std::vector<std::pair<const char*, std::optional<NSColor>>> cases = {
        {"#0a0", NSColor{0, 0xAA, 0, 1.0}},
        {"#00AA00", NSColor{0, 0xAA, 0, 1.0}},
        {"#ff000080", NSColor{255, 0, 0, 128 / 255.0}},
        {" RGB(255, 50%, 0) ", NSColor{255, 128, 0, 1.0}},
        {"rgba(1 2 3 / 0.5)", NSColor{1, 2, 3, 0.5}},
        {"rgb(300, -4, 0)", NSColor{255, 0, 0, 1.0}},
        {"RebeccaPurple", NSColor{0x66, 0x33, 0x99, 1.0}},
        {"aliceblue", NSColor{0xF0, 0xF8, 0xFF, 1.0}},
        {"yellowgreen", NSColor{0x9A, 0xCD, 0x32, 1.0}},
        {"transparent", NSColor{0, 0, 0, 0.0}},
        {"#12", std::nullopt},
        {"#12345g", std::nullopt},
        {"rgb(1, 2)", std::nullopt},
        {"rgb(1, 2, x)", std::nullopt},
        {"rgb(nan, 2, 3)", std::nullopt},
        {"bluish", std::nullopt},
        {"", std::nullopt},
        {"currentcolor", std::nullopt},
    };
    for (const auto& [text, color] : cases) {
        EXPECT_EQ(parseCSSColor(text), color) << text;
    }
}

TEST(CSSStyleSheet, ReadsRulesAndSkipsWhatItCannot) {
    const CSSStyleSheet sheet = CSSStyleSheet::parse(
        "/* a { x: y } */ @import 'x.css'; @media screen { p { color: red } }\n"
        "P.note, #main em { Color: blue !important; margin: 0 ; ; bad } "
        "ul > li { color: red } a:hover { color: red } b { font-family: 'x;}y' } i { color: green");
    const std::vector<std::pair<std::uint32_t, std::vector<CSSDeclaration>>> expected = {
        {1 << 10 | 1, {{"color", "blue"}, {"margin", "0"}}},
        {1 << 20 | 1, {{"color", "blue"}, {"margin", "0"}}},
        {1, {{"font-family", "'x;}y'"}}},
        {1, {{"color", "green"}}},
    };
    ASSERT_EQ(sheet.rules().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(sheet.rules()[i].selector.specificity(), expected[i].first) << i;
        EXPECT_EQ(sheet.rules()[i].declarations, expected[i].second) << i;
        EXPECT_EQ(sheet.rules()[i].order, i);
    }
}

TEST(CSSSelector, MatchesDescendantsThroughAnyAncestor) {
    const CSSElement html{"html", "", {}};
    const CSSElement div{"div", "main", {"box", "wide"}};
    const CSSElement span{"span", "", {}};
    const CSSElement em{"em", "", {"x"}};
    const std::vector<const CSSElement*> ancestors = {&html, &div, &span};
    const std::vector<std::pair<const char*, bool>> cases = {
        {"em", true},
        {"*", true},
        {".x", true},
        {"em.x.y", false},
        {"div em", true},
        {"#main em", true},
        {"div.box.wide em", true},
        {"div.tall em", false},
        {"html div span em", true},
        {"span div em", false},
        {"p em", false},
        {"EM", true},
    };
    for (const auto& [text, matches] : cases) {
        CSSSelector selector;
        ASSERT_TRUE(CSSSelector::parse(text, selector)) << text;
        EXPECT_EQ(selector.matches(em, ancestors), matches) << text;
    }
    for (const char* invalid : {"", "div > em", "a:hover", "[x]", "p..q", "p #"}) {
        CSSSelector selector;
        EXPECT_FALSE(CSSSelector::parse(invalid, selector)) << invalid;
    }
}

}  // namespace
}  // namespace orvane
