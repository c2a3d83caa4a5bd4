// HTMLReader: reads an HTML document into styled text, the way the
// platform's document reader does for the HTML document type.
//
// The bytes are decoded from the byte-order mark: UTF-16 little- or
// big-endian, or UTF-8 (also the assumption without a mark). Bytes that are
// not valid Unicode in that encoding (a lone surrogate, an odd UTF-16 byte
// count, malformed UTF-8) make the read fail. The text is parsed with gumbo,
// an HTML5-conforming parser, then styled by a small cascade (CSSCascade):
// a built-in sheet of default looks, then the document's <style> blocks in
// order, then style attributes. What each element contributes:
//
//   head, script, style, title, template, noscript   no text
//   b, strong / i, em, cite, var / u, ins / s, strike, del   bold / italic / underline / line-through
//   a with href        NSLink, blue (#0000EE) and underlined unless styled otherwise
//   h1 ... h6          bold, 2, 1.5, 1.17, 1, 0.83, 0.67 em, margins above and below
//   p, div and other blocks   a line break before and after (one, never two in a row)
//   ul, ol / li        40 pt indent; each item starts with "•\t" or "N.\t"
//   br                 a line feed
//   pre, textarea      white space kept; elsewhere runs of white space are one blank,
//                      dropped at the start and end of a line
//
// The properties and how they inherit are CSSCascade's; the default font is
// Times 12.
//
// Hostile input: before parsing, a document is refused (the read fails) when
// it is larger than Limits::maxBytes, has more start tags than maxTags, may
// nest deeper than maxDepth (end tags that are optional in HTML don't count),
// or could make gumbo build more than maxNodes elements by reopening
// unclosed formatting elements. gumbo's error list is capped, and the tree is
// walked without recursion. Within those bounds gumbo's own recursive
// release of the tree stays far from the stack's end.
//
// Thread safety: read() may be called from any thread at once; it shares
// only the built-in sheet, made once and never changed.
//
//   auto text = orvane::HTMLReader::read(bytes);   // std::optional<NSAttributedString>
#pragma once

#include "Platform/Text/NSAttributedString.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace orvane {

struct HTMLReaderLimits {
    std::size_t maxBytes = 4 * 1024 * 1024;  // UTF-8 bytes of the document
    std::size_t maxTags = 50'000;
    std::size_t maxDepth = 512;
    std::size_t maxNodes = 2'000'000;
    int maxErrors = 100;  // parse errors gumbo records
};

class HTMLReader final {
public:
    using Limits = HTMLReaderLimits;

    // Reads a document whose encoding the byte-order mark gives.
    static std::optional<NSAttributedString> read(std::span<const std::uint8_t> document,
                                                  const Limits& limits = Limits());
    // Reads UTF-8 text (which must be valid).
    static std::optional<NSAttributedString> readUTF8(std::string_view html, const Limits& limits = Limits());

    // Whether UTF-8 text passes the bounds checked before parsing.
    static bool isWithinLimits(std::string_view html, const Limits& limits);
};

}  // namespace orvane
