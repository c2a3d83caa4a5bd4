// pangoMarkup: styled text as Pango markup, for a GTK label or a
// PangoLayout (pango_parse_markup, gtk_label_set_markup).
//
// Each run becomes one flat <span> carrying font_family, size (1024ths of a
// point, as Pango counts), style, weight, underline, strikethrough and, when
// the run has one, foreground="#rrggbb" — hex only, because CSS and X11
// disagree on what some colour names mean. Every text and attribute value is
// escaped; NUL, which markup cannot carry, becomes U+FFFD. Links keep their
// look; the target is not part of the markup (Pango has no link attribute).
//
// Pango markup has no paragraph attributes, so pangoParagraphs() lists them
// separately for pango_layout_set_alignment / pango_layout_set_justify or
// GtkTextTag properties (left-margin, right-margin, pixels-above-lines,
// pixels-below-lines). Natural alignment is resolved with the application's
// layout direction.
//
// Thread safety: pure functions of their argument (and, for natural
// alignment, of NSApplication's direction).
//
//   std::string markup = orvane::pangoMarkup(text);
//   pango_layout_set_markup(layout, markup.c_str(), -1);
#pragma once

#include "Platform/Text/NSAttributedString.hpp"

#include <cstddef>
#include <string>
#include <vector>

namespace orvane {

std::string pangoMarkup(const NSAttributedString& text);

struct PangoParagraph {
    // Range of the paragraph in UTF-8 bytes of the string (and so of the
    // markup's text), its line feed included.
    std::size_t byteOffset = 0;
    std::size_t byteLength = 0;
    // PangoAlignment values: 0 PANGO_ALIGN_LEFT, 1 PANGO_ALIGN_CENTER, 2 PANGO_ALIGN_RIGHT.
    int alignment = 0;
    bool justify = false;
    double leftMargin = 0;   // points
    double rightMargin = 0;  // points
    double spacingAbove = 0;
    double spacingBelow = 0;

    bool operator==(const PangoParagraph&) const = default;
};

// One entry per paragraph (text up to and including a line feed), with the
// paragraph style of its first character.
std::vector<PangoParagraph> pangoParagraphs(const NSAttributedString& text);

}  // namespace orvane
