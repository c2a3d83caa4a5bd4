// NSTextAlignment: how the lines of a paragraph sit between its margins.
// `natural` follows the writing direction: left for left-to-right text,
// right for right-to-left text.
//
// Thread safety: a plain value.
#pragma once

namespace orvane {

enum class NSTextAlignment { left, right, center, justified, natural };

}  // namespace orvane
