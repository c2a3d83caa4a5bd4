// attributedStringFromHTML: styled text from an HTML fragment, optionally
// with a small style sheet made of CSSRule values or of a font.
//
// The styled forms compose one document and hand it to the reader:
//
//   <style>RULE RULE ...</style>\n<TAG>FRAGMENT</TAG>
//
// rule texts joined by one blank; fragment and tag inserted literally (an
// empty tag gives "<>" and "</>"). The document is encoded as UTF-16 with a
// byte-order mark and read by HTMLReader. Every form gives nothing when the
// text is not valid UTF-8 or the reader refuses the document (see its
// limits); the reader's reason is dropped.
//
// The font form styles `span` with the font's family and size:
// span { font-family: 'Menlo'; font-size: 11.0px; }. Note that a style
// sheet for `span` only reaches the fragment when the tag is "span".
//
// Thread safety: any thread; natural alignment reads NSApplication's direction.
//
//   auto text = orvane::attributedStringFromHTML("<b>Saved</b>", orvane::NSFont("Cantarell", 11), "span");
#pragma once

#include "Platform/Text/NSAttributedString.hpp"
#include "Platform/Text/NSFont.hpp"
#include "Presentation/CSSRule.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

std::optional<NSAttributedString> attributedStringFromHTML(std::string_view htmlString);
std::optional<NSAttributedString> attributedStringFromHTML(std::string_view htmlString,
                                                           const std::vector<CSSRule>& css,
                                                           std::string_view wrapTag);
std::optional<NSAttributedString> attributedStringFromHTML(std::string_view htmlString, const NSFont& font,
                                                           std::string_view wrapTag);

// The document the styled forms read, as UTF-8 text.
std::string htmlDocument(std::string_view htmlString, const std::vector<CSSRule>& css,
                         std::string_view wrapTag);

// UTF-8 text as UTF-16 in this machine's byte order, after a byte-order
// mark; nothing when the text is not valid UTF-8.
std::optional<std::vector<std::uint8_t>> utf16DocumentData(std::string_view text);

}  // namespace orvane
