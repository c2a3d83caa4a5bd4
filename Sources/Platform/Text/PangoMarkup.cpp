#include "Platform/Text/PangoMarkup.hpp"

#include "Platform/Text/NSApplication.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace orvane {

namespace {

void appendEscaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            case '\0':
                out += "\xEF\xBF\xBD";
                break;
            default:
                out.push_back(c);
        }
    }
}

// Pango sizes are ints in 1024ths of a point; keep within what it accepts.
long pangoSize(double points) {
    if (!std::isfinite(points) || points <= 0)
        return 1024;
    return std::lround(std::min(points, 10'000.0) * 1024.0);
}

std::string hexColor(const NSColor& color) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", color.red, color.green, color.blue);
    return text;
}

}  // namespace

std::string pangoMarkup(const NSAttributedString& text) {
    std::string markup;
    markup.reserve(text.string().size() + text.runs().size() * 128);
    text.enumerateAttributes([&](const NSAttributedString::Run& run) {
        const TextAttributes& a = run.attributes;
        markup += "<span font_family=\"";
        appendEscaped(markup, a.fontFamily);
        markup += "\" size=\"";
        markup += std::to_string(pangoSize(a.fontSize));
        markup += "\"";
        if (a.foregroundColor) {
            markup += " foreground=\"";
            markup += hexColor(*a.foregroundColor);
            markup += "\"";
        }
        markup += a.italic ? " style=\"italic\"" : " style=\"normal\"";
        markup += a.bold ? " weight=\"bold\"" : " weight=\"normal\"";
        markup += a.underline ? " underline=\"single\"" : " underline=\"none\"";
        markup += a.strikethrough ? " strikethrough=\"true\"" : " strikethrough=\"false\"";
        markup += ">";
        appendEscaped(markup, std::string_view(text.string()).substr(run.byteOffset, run.byteLength));
        markup += "</span>";
    });
    return markup;
}

std::vector<PangoParagraph> pangoParagraphs(const NSAttributedString& text) {
    const bool rightToLeft = NSApplication::sharedApplication().userInterfaceLayoutDirection() ==
                             NSUserInterfaceLayoutDirection::rightToLeft;
    std::vector<PangoParagraph> paragraphs;
    const std::string& string = text.string();
    const auto& runs = text.runs();
    std::size_t run = 0;
    std::size_t start = 0;
    while (start < string.size()) {
        const std::size_t newline = string.find('\n', start);
        const std::size_t end = newline == std::string::npos ? string.size() : newline + 1;
        while (run + 1 < runs.size() && runs[run].byteOffset + runs[run].byteLength <= start)
            ++run;
        const NSParagraphStyle& style = runs[run].attributes.paragraphStyle;
        PangoParagraph paragraph;
        paragraph.byteOffset = start;
        paragraph.byteLength = end - start;
        switch (style.alignment) {
            case NSTextAlignment::left:
                paragraph.alignment = 0;
                break;
            case NSTextAlignment::center:
                paragraph.alignment = 1;
                break;
            case NSTextAlignment::right:
                paragraph.alignment = 2;
                break;
            case NSTextAlignment::justified:
                paragraph.alignment = rightToLeft ? 2 : 0;
                paragraph.justify = true;
                break;
            case NSTextAlignment::natural:
                paragraph.alignment = rightToLeft ? 2 : 0;
                break;
        }
        paragraph.leftMargin = rightToLeft ? style.tailIndent : style.headIndent;
        paragraph.rightMargin = rightToLeft ? style.headIndent : style.tailIndent;
        paragraph.spacingAbove = style.paragraphSpacingBefore;
        paragraph.spacingBelow = style.paragraphSpacing;
        paragraphs.push_back(paragraph);
        start = end;
    }
    return paragraphs;
}

}  // namespace orvane
