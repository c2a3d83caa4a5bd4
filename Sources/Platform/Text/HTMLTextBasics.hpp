// HTMLTextBasics: the character rules the HTML reader and the CSS engine
// share: HTML's white space, ASCII lower case (names in HTML and CSS are
// ASCII case-insensitive), and splitting on white space. Internal to the
// library.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvane::htmltext {

// isHTMLSpace: space, tab, line feed, carriage return or form feed.
bool isHTMLSpace(char c);

// lowercased: `text` with A-Z made a-z; every other byte unchanged.
std::string lowercased(std::string_view text);

// words: the runs of `text` between HTML white space.
std::vector<std::string_view> words(std::string_view text);

}  // namespace orvane::htmltext
