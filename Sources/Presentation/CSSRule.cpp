#include "Presentation/CSSRule.hpp"

#include "Platform/Text/NSApplication.hpp"
#include "Presentation/CSSNumberText.hpp"

namespace orvane {

using Property = CSSRule::Property;

std::string Property::rawValue(FontStyle) {
    return "normal";
}

std::optional<Property::FontStyle> Property::fontStyleFromRawValue(std::string_view rawValue) {
    if (rawValue == "normal")
        return FontStyle::normal;
    return std::nullopt;
}

Property Property::fontFamily(std::string name) {
    return Property(Case::fontFamily, std::move(name));
}

Property Property::fontColor(std::string color) {
    return Property(Case::fontColor, std::move(color));
}

Property Property::fontSize(double size) {
    return Property(Case::fontSize, size);
}

Property Property::textAlign(NSTextAlignment alignment) {
    return Property(Case::textAlign, alignment);
}

Property Property::margin(double value) {
    return Property(Case::margin, value);
}

Property Property::padding(double value) {
    return Property(Case::padding, value);
}

Property Property::fontStyle(FontStyle style) {
    return Property(Case::fontStyle, style);
}

namespace {

std::string alignmentText(NSTextAlignment alignment) {
    switch (alignment) {
        case NSTextAlignment::left:
            return "text-align: left";
        case NSTextAlignment::right:
            return "text-align: right";
        case NSTextAlignment::center:
            return "text-align: center";
        case NSTextAlignment::justified:
            return "text-align: justify";
        case NSTextAlignment::natural:
            break;
    }
    const bool rightToLeft = NSApplication::sharedApplication().userInterfaceLayoutDirection() ==
                             NSUserInterfaceLayoutDirection::rightToLeft;
    return rightToLeft ? "text-align: right" : "text-align: left";
}

}  // namespace

std::string Property::description() const {
    switch (case_) {
        case Case::fontFamily:
            return "font-family: '" + std::get<std::string>(payload_) + "'";
        case Case::fontColor:
            return "color: " + std::get<std::string>(payload_);
        case Case::fontSize:
            return "font-size: " + cssNumberText(std::get<double>(payload_)) + "px";
        case Case::textAlign:
            return alignmentText(std::get<NSTextAlignment>(payload_));
        case Case::margin:
            return "margin: " + cssNumberText(std::get<double>(payload_)) + "px";
        case Case::padding:
            return "padding: " + cssNumberText(std::get<double>(payload_)) + "px";
        case Case::fontStyle:
            return "font-style: " + rawValue(std::get<FontStyle>(payload_));
    }
    return {};
}

CSSRule CSSRule::p(std::vector<Property> properties) {
    return CSSRule("p", std::move(properties));
}

CSSRule CSSRule::span(std::vector<Property> properties) {
    return CSSRule("span", std::move(properties));
}

CSSRule CSSRule::em(std::vector<Property> properties) {
    return CSSRule("em", std::move(properties));
}

std::string CSSRule::description() const {
    std::string text = name_ + " { ";
    for (std::size_t i = 0; i < properties_.size(); ++i) {
        if (i > 0)
            text += "; ";
        text += properties_[i].description();
    }
    text += "; }";
    return text;
}

}  // namespace orvane
