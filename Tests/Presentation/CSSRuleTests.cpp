#include "Platform/Text/NSApplication.hpp"
#include "Presentation/CSSNumberText.hpp"
#include "Presentation/CSSRule.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace orvane {
namespace {

using Property = CSSRule::Property;

TEST(CSSNumberText, ShortestRoundTripWithFractionForWholeNumbers) {
    const std::vector<std::pair<double, std::string>> cases = {
        {12, "12.0"},
        {0, "0.0"},
        {-0.0, "-0.0"},
        {0.5, "0.5"},
        {-3, "-3.0"},
        {0.1, "0.1"},
        {1.0 / 3, "0.3333333333333333"},
        {0.0001, "0.0001"},
        {1e15, "1000000000000000.0"},
        {123456789.125, "123456789.125"},
        {1e16, "1e+16"},
        {1.5e-5, "1.5e-05"},
        {-2.5e300, "-2.5e+300"},
        {std::numeric_limits<double>::quiet_NaN(), "nan"},
        {std::numeric_limits<double>::infinity(), "inf"},
        {-std::numeric_limits<double>::infinity(), "-inf"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(cssNumberText(value), text) << value;
        if (std::isfinite(value)) {
            EXPECT_EQ(std::stod(text), value) << text;
        }
    }
}

TEST(CSSRuleProperty, Texts) {
    const std::vector<std::pair<Property, std::string>> cases = {
        {Property::fontSize(12), "font-size: 12.0px"},
        {Property::margin(0), "margin: 0.0px"},
        {Property::padding(1.5), "padding: 1.5px"},
        {Property::fontFamily("Helvetica Neue"), "font-family: 'Helvetica Neue'"},
        {Property::fontFamily("it's"), "font-family: 'it's'"},
        {Property::fontColor("#ff0000"), "color: #ff0000"},
        {Property::fontStyle(Property::FontStyle::normal), "font-style: normal"},
        {Property::textAlign(NSTextAlignment::left), "text-align: left"},
        {Property::textAlign(NSTextAlignment::right), "text-align: right"},
        {Property::textAlign(NSTextAlignment::justified), "text-align: justify"},
    };
    for (const auto& [property, text] : cases) {
        EXPECT_EQ(property.description(), text);
    }
}

TEST(CSSRuleProperty, NaturalAlignmentAsksTheLayoutDirectionEachTime) {
    NSApplication& application = NSApplication::sharedApplication();
    const Property natural = Property::textAlign(NSTextAlignment::natural);
    application.setUserInterfaceLayoutDirection(NSUserInterfaceLayoutDirection::leftToRight);
    EXPECT_EQ(natural.description(), "text-align: left");
    application.setUserInterfaceLayoutDirection(NSUserInterfaceLayoutDirection::rightToLeft);
    EXPECT_EQ(natural.description(), "text-align: right");
    application.resetUserInterfaceLayoutDirection();
}

TEST(CSSRuleProperty, FontStyleRawValueIsExact) {
    EXPECT_EQ(Property::fontStyleFromRawValue("normal"), Property::FontStyle::normal);
    for (const char* raw : {"Normal", "NORMAL", " normal", "normal ", "", "italic"}) {
        EXPECT_FALSE(Property::fontStyleFromRawValue(raw).has_value()) << raw;
    }
}

TEST(CSSRule, Texts) {
    EXPECT_EQ(CSSRule::p({Property::fontSize(12), Property::fontColor("red")}).description(),
              "p { font-size: 12.0px; color: red; }");
    EXPECT_EQ(CSSRule::span({Property::fontFamily("Menlo")}).description(), "span { font-family: 'Menlo'; }");
}

TEST(NSApplication, LayoutDirectionFromLocaleLanguage) {
    const std::vector<std::pair<const char*, NSUserInterfaceLayoutDirection>> cases = {
        {"ar_EG.UTF-8", NSUserInterfaceLayoutDirection::rightToLeft},
        {"he", NSUserInterfaceLayoutDirection::rightToLeft},
        {"ur_PK.UTF-8@latin", NSUserInterfaceLayoutDirection::rightToLeft},
        {"en_US.UTF-8", NSUserInterfaceLayoutDirection::leftToRight},
        {"arn_CL", NSUserInterfaceLayoutDirection::leftToRight},
        {"C", NSUserInterfaceLayoutDirection::leftToRight},
        {"", NSUserInterfaceLayoutDirection::leftToRight},
    };
    for (const auto& [locale, direction] : cases) {
        EXPECT_EQ(NSApplication::layoutDirectionForLocale(locale), direction) << locale;
    }
}

}  // namespace
}  // namespace orvane
