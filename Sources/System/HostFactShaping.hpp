// HostFactShaping: the rules that turn what the kernel and the system files
// say into the answers of System, as pure functions over bytes, so that every
// rule is checked without touching the machine. Internal to the library; not
// installed.
//
// Thread safety: pure functions.
//
//   hostfacts::threePartVersion("22.04");               // "22.4.0"
//   hostfacts::lastCharacters("C02XK1ABJG5H", 7);        // "1ABJG5H"
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace orvane::hostfacts {

// replacingIllFormedUTF8: the bytes as UTF-8 text, each maximal subpart of an
// ill-formed sequence replaced by one U+FFFD (the Unicode Standard's
// recommended practice, as WHATWG and ICU decoders do): "\xE2\x82" followed by
// "A" gives one U+FFFD then "A"; "\xC0\xAF" gives two.
std::string replacingIllFormedUTF8(std::string_view bytes);

// kernelText: a sysfs or device-tree attribute as text: the bytes before the
// first NUL, less the one newline sysfs ends a line with, decoded as above.
std::string kernelText(std::string_view bytes);

// osReleaseValue: the value the last assignment of `name` gives in an
// os-release file, with shell quoting undone ('single', "double" with
// backslash escapes, backslash outside quotes). Comments, blank lines and
// lines that do not parse are skipped; nothing when no line assigns `name`.
std::optional<std::string> osReleaseValue(std::string_view contents, std::string_view name);

// threePartVersion: the leading dot-separated decimal numbers of `text`,
// without leading zeros, padded with ".0" or cut to three: "12" → "12.0.0",
// "22.04" → "22.4.0", "6.1.0-18-amd64" → "6.1.0". Nothing when `text` does not
// start with a digit or a number does not fit in 64 bits.
std::optional<std::string> threePartVersion(std::string_view text);

// lastCharacters: the last `count` user-perceived characters of UTF-8 text
// (extended grapheme clusters: a letter with its combining marks, a Hangul
// syllable, a flag, an emoji joined by ZWJ count once), or the whole text when
// it has `count` or fewer.
std::string lastCharacters(std::string_view text, std::size_t count);

// homeFolderFrom: the user record's home-directory field when there is one,
// not empty and valid UTF-8; else $HOME on the same terms; else "/". Either
// argument may be null.
std::string homeFolderFrom(const char* recordHome, const char* environmentHome);

// userNameFrom: the user record's login name when there is one (ill-formed
// UTF-8 replaced); else the first of $LOGNAME and $USER that is set, not
// empty and valid UTF-8; else "". Any argument may be null.
std::string userNameFrom(const char* recordName, const char* environmentLogName, const char* environmentUser);

}  // namespace orvane::hostfacts
