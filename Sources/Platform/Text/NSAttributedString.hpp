// NSAttributedString: text with attribute runs — what the HTML reader
// produces and what a GTK widget shows (through pangoMarkup()).
//
// The text is UTF-8. Attributes cover a run of characters and are those the
// platform names: the font (NSFont: family, size in points, bold and italic
// traits), NSUnderline, NSStrikethrough, NSColor (foreground), NSLink, and
// NSParagraphStyle (alignment, indents from margins and padding, spacing
// before and after the paragraph). Neighbouring runs with equal attributes
// are always merged, so two strings are equal exactly when their text and
// their runs are.
//
// length() and the run ranges count UTF-16 code units, as the platform's
// string does; each run also gives its UTF-8 byte range into string().
//
// Thread safety: a value; const access from many threads is safe.
//
//   orvane::NSAttributedString text;
//   orvane::TextAttributes bold;
//   bold.bold = true;
//   text.append("Hello", bold);
//   text.length();   // 5
#pragma once

#include "Platform/Text/NSTextAlignment.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// An opaque sRGB colour; alpha is 0 (transparent) to 1.
struct NSColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    double alpha = 1.0;

    bool operator==(const NSColor&) const = default;
};

struct NSParagraphStyle {
    NSTextAlignment alignment = NSTextAlignment::natural;
    double headIndent = 0;              // points from the leading edge
    double tailIndent = 0;              // points from the trailing edge
    double paragraphSpacingBefore = 0;  // points above the paragraph
    double paragraphSpacing = 0;        // points below the paragraph

    bool operator==(const NSParagraphStyle&) const = default;
};

struct TextAttributes {
    // The platform's attribute names.
    static constexpr std::string_view fontAttributeName = "NSFont";
    static constexpr std::string_view foregroundColorAttributeName = "NSColor";
    static constexpr std::string_view underlineStyleAttributeName = "NSUnderline";
    static constexpr std::string_view strikethroughStyleAttributeName = "NSStrikethrough";
    static constexpr std::string_view linkAttributeName = "NSLink";
    static constexpr std::string_view paragraphStyleAttributeName = "NSParagraphStyle";

    std::string fontFamily = "Times";
    double fontSize = 12.0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    std::optional<NSColor> foregroundColor;
    std::optional<std::string> link;
    NSParagraphStyle paragraphStyle;

    bool operator==(const TextAttributes&) const = default;
};

class NSAttributedString final {
public:
    struct Run {
        std::size_t location = 0;  // UTF-16 code units
        std::size_t length = 0;    // UTF-16 code units
        std::size_t byteOffset = 0;
        std::size_t byteLength = 0;
        TextAttributes attributes;

        bool operator==(const Run&) const = default;
    };

    NSAttributedString() = default;
    // Plain text with one set of attributes; `text` must be valid UTF-8.
    NSAttributedString(std::string text, const TextAttributes& attributes);

    const std::string& string() const noexcept { return text_; }
    std::size_t length() const noexcept { return length_; }
    const std::vector<Run>& runs() const noexcept { return runs_; }

    // Calls body(run) for each run in order.
    template <class Body>
    void enumerateAttributes(Body&& body) const {
        for (const Run& run : runs_) {
            body(run);
        }
    }

    // Appends valid UTF-8 text with the given attributes, merging it into the
    // last run when the attributes are equal.
    void append(std::string_view text, const TextAttributes& attributes);

    bool operator==(const NSAttributedString&) const = default;

private:
    std::string text_;
    std::size_t length_ = 0;
    std::vector<Run> runs_;
};

}  // namespace orvane
