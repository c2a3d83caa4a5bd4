// NSFont: a font named by its family and a size in points — what the
// presentation helpers need to write a style rule. It does not load or
// measure the font.
//
// Thread safety: a plain value.
//
//   orvane::NSFont font("Menlo", 11);
//   font.fontName();    // "Menlo"
//   font.pointSize();   // 11.0
#pragma once

#include <string>
#include <utility>

namespace orvane {

class NSFont final {
public:
    NSFont(std::string fontName, double pointSize) : fontName_(std::move(fontName)), pointSize_(pointSize) {}

    const std::string& fontName() const noexcept { return fontName_; }
    double pointSize() const noexcept { return pointSize_; }

    bool operator==(const NSFont&) const = default;

private:
    std::string fontName_;
    double pointSize_;
};

}  // namespace orvane
