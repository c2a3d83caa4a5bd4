#include "Platform/Text/CSSCascade.hpp"

#include "Platform/Text/HTMLTextBasics.hpp"

#include "Platform/Text/CSSColor.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>

namespace orvane {

namespace {

using htmltext::isHTMLSpace;
using htmltext::lowercased;
using htmltext::words;

constexpr double defaultFontSize = 12.0;
constexpr double maxFontSize = 10'000.0;
constexpr double maxIndent = 1e6;



// A CSS length in points; `em` is the font size that em units refer to.
std::optional<double> parseLength(std::string_view text, double em) {
    double number = 0;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    const auto [stop, error] = std::from_chars(begin, end, number);
    if (error != std::errc() || !std::isfinite(number))
        return std::nullopt;
    const std::string unit = lowercased(std::string_view(stop, static_cast<std::size_t>(end - stop)));
    double points = 0;
    if (unit == "px" || unit == "pt") {
        points = number;
    } else if (unit == "em") {
        points = number * em;
    } else if (unit == "rem") {
        points = number * defaultFontSize;
    } else if (unit == "%") {
        points = number / 100.0 * em;
    } else if (unit.empty() && number == 0) {
        points = 0;
    } else {
        return std::nullopt;
    }
    return std::isfinite(points) ? std::optional<double>(points) : std::nullopt;
}


// Margin and padding as declared on one element, resolved once its font size
// is known: top, right, bottom, left.
struct Box {
    std::array<std::string, 4> margin;
    std::array<std::string, 4> padding;
};

void setSides(std::array<std::string, 4>& sides, std::string_view value) {
    const std::vector<std::string_view> parts = words(value);
    switch (parts.size()) {
        case 1:
            sides = {std::string(parts[0]), std::string(parts[0]), std::string(parts[0]),
                     std::string(parts[0])};
            break;
        case 2:
            sides = {std::string(parts[0]), std::string(parts[1]), std::string(parts[0]),
                     std::string(parts[1])};
            break;
        case 3:
            sides = {std::string(parts[0]), std::string(parts[1]), std::string(parts[2]),
                     std::string(parts[1])};
            break;
        case 4:
            sides = {std::string(parts[0]), std::string(parts[1]), std::string(parts[2]),
                     std::string(parts[3])};
            break;
        default:
            break;
    }
}

std::string firstFamily(std::string_view value) {
    std::string_view family = value.substr(0, value.find(','));
    while (!family.empty() && isHTMLSpace(family.front()))
        family.remove_prefix(1);
    while (!family.empty() && isHTMLSpace(family.back()))
        family.remove_suffix(1);
    if (family.size() >= 2 && (family.front() == '\'' || family.front() == '"') &&
        family.back() == family.front()) {
        family = family.substr(1, family.size() - 2);
    }
    return std::string(family);
}

void applyDeclaration(const CSSDeclaration& declaration, TextAttributes& text, const TextAttributes& parent,
                      Box& box) {
    const std::string& name = declaration.property;
    const std::string_view value = declaration.value;
    const std::string keyword = lowercased(value);
    if (name == "font-family") {
        if (std::string family = firstFamily(value); !family.empty())
            text.fontFamily = std::move(family);
    } else if (name == "font-size") {
        static const std::unordered_map<std::string, double> keywords = {
            {"xx-small", 8}, {"x-small", 9},  {"small", 10},    {"medium", 12},
            {"large", 14},   {"x-large", 18}, {"xx-large", 24}, {"xxx-large", 36}};
        std::optional<double> size;
        if (const auto found = keywords.find(keyword); found != keywords.end()) {
            size = found->second;
        } else if (keyword == "smaller") {
            size = parent.fontSize / 1.2;
        } else if (keyword == "larger") {
            size = parent.fontSize * 1.2;
        } else {
            size = parseLength(value, parent.fontSize);
        }
        if (size && *size >= 0)
            text.fontSize = std::min(*size, maxFontSize);
    } else if (name == "font-style") {
        if (keyword == "normal")
            text.italic = false;
        if (keyword == "italic" || keyword.starts_with("oblique"))
            text.italic = true;
    } else if (name == "font-weight") {
        if (keyword == "normal" || keyword == "lighter") {
            text.bold = false;
        } else if (keyword == "bold" || keyword == "bolder") {
            text.bold = true;
        } else {
            int weight = 0;
            const auto [end, error] =
                std::from_chars(keyword.data(), keyword.data() + keyword.size(), weight);
            if (error == std::errc() && end == keyword.data() + keyword.size() && weight >= 1 &&
                weight <= 1000) {
                text.bold = weight >= 600;
            }
        }
    } else if (name == "color") {
        if (const auto color = parseCSSColor(value))
            text.foregroundColor = color;
    } else if (name == "text-align") {
        if (keyword == "left")
            text.paragraphStyle.alignment = NSTextAlignment::left;
        if (keyword == "right" || keyword == "end")
            text.paragraphStyle.alignment = NSTextAlignment::right;
        if (keyword == "center")
            text.paragraphStyle.alignment = NSTextAlignment::center;
        if (keyword == "justify")
            text.paragraphStyle.alignment = NSTextAlignment::justified;
        if (keyword == "start")
            text.paragraphStyle.alignment = NSTextAlignment::natural;
    } else if (name == "text-decoration" || name == "text-decoration-line") {
        // Decorations reach the descendants' text and cannot be taken back there.
        for (const std::string_view word : words(keyword)) {
            if (word == "underline")
                text.underline = true;
            if (word == "line-through")
                text.strikethrough = true;
            if (word == "none") {
                text.underline = parent.underline;
                text.strikethrough = parent.strikethrough;
            }
        }
    } else if (name == "margin") {
        setSides(box.margin, value);
    } else if (name == "padding") {
        setSides(box.padding, value);
    } else {
        static const std::array<std::string_view, 4> sides = {"top", "right", "bottom", "left"};
        for (std::size_t i = 0; i < sides.size(); ++i) {
            if (name.size() > sides[i].size() && name.ends_with(sides[i])) {
                const std::string_view prefix =
                    std::string_view(name).substr(0, name.size() - sides[i].size());
                if (prefix == "margin-")
                    box.margin[i] = value;
                if (prefix == "padding-")
                    box.padding[i] = value;
            }
        }
    }
}

}  // namespace

CSSCascade::Index CSSCascade::makeIndex(const CSSStyleSheet& sheet) {
    Index index;
    index.sheet = &sheet;
    const auto& rules = sheet.rules();
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const std::string& type = rules[i].selector.lastType();
        if (type.empty()) {
            index.untyped.push_back(i);
        } else {
            index.byType[type].push_back(i);
        }
    }
    return index;
}

CSSCascade::CSSCascade(const CSSStyleSheet& userAgent, const CSSStyleSheet& author)
    : userAgent_(makeIndex(userAgent)), author_(makeIndex(author)) {}

void CSSCascade::collect(const Index& index, bool author, const CSSElement& element,
                         std::span<const CSSElement* const> ancestors) {
    const auto& rules = index.sheet->rules();
    auto consider = [&](std::size_t i) {
        const CSSStyleRule& rule = rules[i];
        if (rule.selector.matches(element, ancestors)) {
            candidates_.push_back(
                Candidate{author, rule.selector.specificity(), rule.order, &rule.declarations});
        }
    };
    if (const auto found = index.byType.find(element.tag); found != index.byType.end()) {
        for (const std::size_t i : found->second)
            consider(i);
    }
    for (const std::size_t i : index.untyped)
        consider(i);
}

void CSSCascade::apply(const CSSElement& element, std::span<const CSSElement* const> ancestors,
                       std::string_view inlineStyle, const TextAttributes& parent, bool isBlock,
                       TextAttributes& style) {
    candidates_.clear();
    collect(userAgent_, false, element, ancestors);
    collect(author_, true, element, ancestors);
    std::sort(candidates_.begin(), candidates_.end(), [](const Candidate& a, const Candidate& b) {
        if (a.author != b.author)
            return !a.author;
        if (a.specificity != b.specificity)
            return a.specificity < b.specificity;
        return a.order < b.order;
    });
    Box box;
    for (const Candidate& candidate : candidates_) {
        for (const CSSDeclaration& declaration : *candidate.declarations) {
            applyDeclaration(declaration, style, parent, box);
        }
    }
    if (!inlineStyle.empty()) {
        for (const CSSDeclaration& declaration : CSSStyleSheet::parseDeclarations(inlineStyle)) {
            applyDeclaration(declaration, style, parent, box);
        }
    }
    if (!isBlock)
        return;
    const double em = style.fontSize;
    auto side = [&](std::size_t i) {
        const double margin = parseLength(box.margin[i], em).value_or(0);
        const double padding = parseLength(box.padding[i], em).value_or(0);
        return std::clamp(margin + padding, -maxIndent, maxIndent);
    };
    // Spacing belongs to the nearest block; indents add up.
    NSParagraphStyle& paragraph = style.paragraphStyle;
    paragraph.paragraphSpacingBefore = side(0);
    paragraph.tailIndent = std::clamp(paragraph.tailIndent + side(1), -maxIndent, maxIndent);
    paragraph.paragraphSpacing = side(2);
    paragraph.headIndent = std::clamp(paragraph.headIndent + side(3), -maxIndent, maxIndent);
}

}  // namespace orvane
