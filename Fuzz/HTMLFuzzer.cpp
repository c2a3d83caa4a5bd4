// Feeds arbitrary bytes to the HTML reader — as a document with whatever
// byte-order mark they start with, and as a fragment composed with a style
// sheet — then exports what it read to Pango markup.
//
// Besides crashes, leaks, hangs and memory blow-ups, it checks the reader's
// output: valid UTF-8, runs that tile the text exactly, and markup whose
// text, once the escapes are undone, is the styled text's own.
#include "Platform/Text/HTMLReader.hpp"
#include "Platform/Text/PangoMarkup.hpp"
#include "Platform/Foundation/UTF8Validation.hpp"
#include "Presentation/AttributedStringFromHTML.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

namespace {

void check(const orvane::NSAttributedString& text) {
    const std::string& string = text.string();
    if (!orvane::isValidUTF8(string))
        std::abort();
    std::size_t bytes = 0;
    std::size_t units = 0;
    for (const auto& run : text.runs()) {
        if (run.byteOffset != bytes || run.location != units || run.byteLength == 0)
            std::abort();
        bytes += run.byteLength;
        units += run.length;
    }
    if (bytes != string.size() || units != text.length())
        std::abort();

    // Strip the spans and undo the escapes: the text must come back.
    const std::string markup = orvane::pangoMarkup(text);
    std::string shown;
    bool inTag = false;
    for (std::size_t i = 0; i < markup.size(); ++i) {
        const char c = markup[i];
        if (inTag) {
            inTag = c != '>';
        } else if (c == '<') {
            inTag = true;
        } else if (c == '&') {
            const std::size_t end = markup.find(';', i);
            if (end == std::string::npos)
                std::abort();
            const std::string_view entity(markup.data() + i, end - i + 1);
            shown += entity == "&amp;"    ? '&'
                     : entity == "&lt;"   ? '<'
                     : entity == "&gt;"   ? '>'
                     : entity == "&quot;" ? '"'
                                          : '\'';
            i = end;
        } else {
            shown.push_back(c);
        }
    }
    std::string expected = string;
    for (std::size_t i = expected.find('\0'); i != std::string::npos; i = expected.find('\0', i)) {
        expected.replace(i, 1, "\xEF\xBF\xBD");
    }
    if (shown != expected)
        std::abort();
    (void)orvane::pangoParagraphs(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (const auto text = orvane::HTMLReader::read(std::span(bytes, size))) {
        check(*text);
    }
    const std::string_view fragment(reinterpret_cast<const char*>(bytes), size);
    if (const auto text =
            orvane::attributedStringFromHTML(fragment, orvane::NSFont("Cantarell", 11), "span")) {
        check(*text);
    }
    return 0;
}
