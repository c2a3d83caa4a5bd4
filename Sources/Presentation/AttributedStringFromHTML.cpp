#include "Presentation/AttributedStringFromHTML.hpp"

#include "Platform/Text/HTMLReader.hpp"
#include "Platform/Foundation/UTF8Validation.hpp"

#include <cstring>

namespace orvane {

std::optional<std::vector<std::uint8_t>> utf16DocumentData(std::string_view text) {
    if (!isValidUTF8(text))
        return std::nullopt;
    std::vector<std::uint8_t> data;
    data.reserve(2 * text.size() + 2);
    auto put = [&](char16_t unit) {
        std::uint8_t bytes[2];
        std::memcpy(bytes, &unit, 2);
        data.insert(data.end(), bytes, bytes + 2);
    };
    put(0xFEFF);
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t count = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = count == 1 ? lead : count == 2 ? lead & 0x1F : count == 3 ? lead & 0x0F : lead & 0x07;
        for (std::size_t k = 1; k < count; ++k) {
            c = c << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        i += count;
        if (c >= 0x10000) {
            c -= 0x10000;
            put(static_cast<char16_t>(0xD800 + (c >> 10)));
            put(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            put(static_cast<char16_t>(c));
        }
    }
    return data;
}

std::optional<NSAttributedString> attributedStringFromHTML(std::string_view htmlString) {
    const std::optional<std::vector<std::uint8_t>> data = utf16DocumentData(htmlString);
    if (!data)
        return std::nullopt;
    return HTMLReader::read(*data);
}

std::string htmlDocument(std::string_view htmlString, const std::vector<CSSRule>& css,
                         std::string_view wrapTag) {
    std::string document = "<style>";
    for (std::size_t i = 0; i < css.size(); ++i) {
        if (i > 0)
            document += ' ';
        document += css[i].description();
    }
    document += "</style>\n<";
    document += wrapTag;
    document += '>';
    document += htmlString;
    document += "</";
    document += wrapTag;
    document += '>';
    return document;
}

std::optional<NSAttributedString> attributedStringFromHTML(std::string_view htmlString,
                                                           const std::vector<CSSRule>& css,
                                                           std::string_view wrapTag) {
    return attributedStringFromHTML(htmlDocument(htmlString, css, wrapTag));
}

std::optional<NSAttributedString> attributedStringFromHTML(std::string_view htmlString, const NSFont& font,
                                                           std::string_view wrapTag) {
    const std::vector<CSSRule> css = {CSSRule::span(
        {CSSRule::Property::fontFamily(font.fontName()), CSSRule::Property::fontSize(font.pointSize())})};
    return attributedStringFromHTML(htmlString, css, wrapTag);
}

}  // namespace orvane
