// CSSRule: a typed style rule for the HTML helpers — an element name and an
// ordered list of properties — and its CSS text.
//
// Only three elements can be styled: CSSRule::p, CSSRule::span and
// CSSRule::em are the only ways to make a rule. Properties are written as
// given: family names inside single quotes, colours unchanged, neither
// escaped nor checked. Numbers use cssNumberText and "px". The natural
// alignment asks NSApplication's layout direction each time its text is made.
//
//   CSSRule::p({CSSRule::Property::fontSize(12), CSSRule::Property::fontColor("red")}).description();
//   // "p { font-size: 12.0px; color: red; }"
//
// Thread safety: values; const access from many threads is safe.
#pragma once

#include "Platform/Text/NSTextAlignment.hpp"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvane {

class CSSRule final {
public:
    class Property final {
    public:
        enum class FontStyle { normal };
        enum class Case { fontFamily, fontColor, fontSize, textAlign, margin, padding, fontStyle };

        static std::string rawValue(FontStyle style);
        // Exactly "normal" (case-sensitive) makes one.
        static std::optional<FontStyle> fontStyleFromRawValue(std::string_view rawValue);

        static Property fontFamily(std::string name);
        static Property fontColor(std::string color);
        static Property fontSize(double size);
        static Property textAlign(NSTextAlignment alignment);
        static Property margin(double value);
        static Property padding(double value);
        static Property fontStyle(FontStyle style);

        Case kind() const noexcept { return case_; }
        std::string description() const;

        bool operator==(const Property&) const = default;

    private:
        using Payload = std::variant<std::string, double, NSTextAlignment, FontStyle>;
        Property(Case kind, Payload payload) : case_(kind), payload_(std::move(payload)) {}

        Case case_;
        Payload payload_;
    };

    static CSSRule p(std::vector<Property> properties);
    static CSSRule span(std::vector<Property> properties);
    static CSSRule em(std::vector<Property> properties);

    std::string description() const;

    bool operator==(const CSSRule&) const = default;

private:
    CSSRule(std::string name, std::vector<Property> properties)
        : name_(std::move(name)), properties_(std::move(properties)) {}

    std::string name_;
    std::vector<Property> properties_;
};

}  // namespace orvane
