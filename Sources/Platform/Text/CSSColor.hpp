// parseCSSColor: reads a CSS colour value — #rgb, #rgba, #rrggbb,
// #rrggbbaa, rgb()/rgba() with numbers or percentages (comma or blank
// separated, optional "/ alpha"), the CSS named colours and "transparent",
// all case-insensitive. Anything else, including "currentcolor" and
// hsl(), gives nothing, so the declaration is skipped.
//
// Thread safety: a pure function.
//
//   orvane::parseCSSColor("rebeccapurple");   // NSColor{102, 51, 153, 1.0}
#pragma once

#include "Platform/Text/NSAttributedString.hpp"

#include <optional>
#include <string_view>

namespace orvane {

std::optional<NSColor> parseCSSColor(std::string_view value);

}  // namespace orvane
