#include "orvane/HTMLCommand.hpp"

#include "orvane/CommandParsing.hpp"

#include "Platform/Text/HTMLReader.hpp"
#include "Platform/Text/PangoMarkup.hpp"
#include "Presentation/AttributedStringFromHTML.hpp"
#include "Presentation/CSSNumberText.hpp"
#include "orvane/ExitStatus.hpp"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>

namespace orvane::cli {

namespace {

std::optional<NSFont> parseFont(const std::string& text) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return std::nullopt;
    double size = 0;
    const char* begin = text.data() + colon + 1;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(begin, end, size);
    if (error != std::errc() || stop != end || !std::isfinite(size) || size <= 0)
        return std::nullopt;
    return NSFont(text.substr(0, colon), size);
}

std::string escapedText(std::string_view text) {
    std::string result = "\"";
    for (const char c : text) {
        if (c == '\n') {
            result += "\\n";
        } else if (c == '\t') {
            result += "\\t";
        } else if (c == '"' || c == '\\') {
            result += '\\';
            result += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
            result += escaped;
        } else {
            result += c;
        }
    }
    return result + "\"";
}

const char* alignmentName(NSTextAlignment alignment) {
    switch (alignment) {
        case NSTextAlignment::left:
            return "left";
        case NSTextAlignment::right:
            return "right";
        case NSTextAlignment::center:
            return "center";
        case NSTextAlignment::justified:
            return "justified";
        case NSTextAlignment::natural:
            break;
    }
    return "natural";
}

void printRuns(const NSAttributedString& text, std::ostream& out) {
    out << "text: " << escapedText(text.string()) << "\n";
    out << "length: " << text.length() << ", runs: " << text.runs().size() << "\n";
    for (const auto& run : text.runs()) {
        const TextAttributes& a = run.attributes;
        out << "  [" << run.location << ", " << run.length << ") "
            << escapedText(std::string_view(text.string()).substr(run.byteOffset, run.byteLength)) << " font "
            << escapedText(a.fontFamily) << " " << cssNumberText(a.fontSize) << "pt";
        if (a.bold)
            out << " bold";
        if (a.italic)
            out << " italic";
        if (a.underline)
            out << " underline";
        if (a.strikethrough)
            out << " strikethrough";
        if (a.foregroundColor) {
            char color[8];
            std::snprintf(color, sizeof color, "#%02x%02x%02x", a.foregroundColor->red,
                          a.foregroundColor->green, a.foregroundColor->blue);
            out << " color " << color;
        }
        if (a.link)
            out << " link " << escapedText(*a.link);
        const NSParagraphStyle& p = a.paragraphStyle;
        out << " align " << alignmentName(p.alignment);
        if (p.headIndent != 0 || p.tailIndent != 0) {
            out << " indent " << cssNumberText(p.headIndent) << "/" << cssNumberText(p.tailIndent);
        }
        if (p.paragraphSpacingBefore != 0 || p.paragraphSpacing != 0) {
            out << " spacing " << cssNumberText(p.paragraphSpacingBefore) << "/"
                << cssNumberText(p.paragraphSpacing);
        }
        out << "\n";
    }
}

}  // namespace

int runHTMLCommand(int argc, char** argv) {
    CLI::App app("Reads an HTML fragment from stdin and prints its styled text.", "orvane html");
    app.footer(
        "Exit status:\n  0  success\n  1  the reader refused the input (not UTF-8, or beyond its bounds)\n"
        "  2  the command line could not be understood\n");
    std::string css;
    std::string fontText;
    std::string tag;
    bool pango = false;
    app.add_option("--css", css, "style rules, as CSS text");
    app.add_option("--font", fontText, "family and size of a span rule, as NAME:SIZE");
    app.add_option("--tag", tag, "the tag wrapping the fragment (default span)");
    app.add_flag("--pango", pango, "print Pango markup instead of the runs");
    if (const auto status = parseCommand(app, argc, argv)) {
        return *status;
    }
    std::optional<NSFont> font;
    if (!fontText.empty()) {
        font = parseFont(fontText);
        if (!font) {
            std::cerr << "orvane html: --font wants NAME:SIZE with a positive size, not \"" << fontText
                      << "\"\n";
            return static_cast<int>(ExitStatus::usage);
        }
    }

    // Read no more than the reader would accept.
    const std::size_t limit = HTMLReaderLimits().maxBytes;
    std::string fragment;
    char buffer[65536];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
        fragment.append(buffer, count);
        if (fragment.size() > limit) {
            std::cerr << "orvane html: the input is larger than " << limit << " bytes\n";
            return static_cast<int>(ExitStatus::failure);
        }
    }

    std::optional<NSAttributedString> text;
    const bool styled = font || !css.empty() || app.count("--tag") > 0;
    const std::string wrapTag = app.count("--tag") > 0 ? tag : "span";
    if (!styled) {
        text = attributedStringFromHTML(fragment);
    } else if (css.empty()) {
        text = font ? attributedStringFromHTML(fragment, *font, wrapTag)
                    : attributedStringFromHTML(fragment, std::vector<CSSRule>{}, wrapTag);
    } else {
        // Rules as text go where the typed rules would: after the font's rule.
        std::string document = htmlDocument(fragment, {}, wrapTag);
        std::string sheet;
        if (font) {
            sheet = CSSRule::span({CSSRule::Property::fontFamily(font->fontName()),
                                   CSSRule::Property::fontSize(font->pointSize())})
                        .description() +
                    " ";
        }
        document.insert(std::string_view("<style>").size(), sheet + css);
        text = attributedStringFromHTML(document);
    }
    if (!text) {
        std::cerr << "orvane html: the reader refused the input (not UTF-8, or beyond its size, depth or tag "
                     "bounds)\n";
        return static_cast<int>(ExitStatus::failure);
    }
    if (pango) {
        std::cout << pangoMarkup(*text) << "\n";
    } else {
        printRuns(*text, std::cout);
    }
    return static_cast<int>(ExitStatus::success);
}

}  // namespace orvane::cli
