// XMLPropertyList: safe reading and writing of XML property lists through
// libplist.
//
// libplist 2.2 trusts the shape of the XML it parses: its parser and its
// writer recurse once per nesting level, so a few hundred thousand nested
// elements run the stack out (in plist_from_xml on unclosed elements, in
// plist_to_xml on any deep tree). findProblem() scans the text once, in linear
// time and without recursion, and accepts only a strict, unambiguous subset of
// XML in which its view of the element tree cannot differ from libplist's:
//
//   - no NUL byte, at most 4 GiB (libplist takes a 32-bit length);
//   - every "<" opens a start tag, an end tag, a comment, a processing
//     instruction, a CDATA section or a DOCTYPE; anything else is refused;
//   - start tags carry only name="value" attributes whose values hold no
//     "<" or ">", so every reader sees the tag end at the same ">";
//   - comments, processing instructions, CDATA sections and the DOCTYPE hold
//     no "<" (so nothing a reader might skip can hide a tag); the DOCTYPE has
//     no internal subset and no ">" inside quotes;
//   - end tags match their start tags; "plist", "array" and "dict" may hold
//     elements, any other element (key, string, integer, ...) holds only text;
//   - the text of an integer, real, date, true, false or data element is a
//     value of that type (decimal without leading zeros or 0x hexadecimal
//     within 64 bits; a decimal real, nan or inf; YYYY-MM-DDTHH:MM:SSZ naming
//     a real moment; empty; Base64 characters), as libplist would otherwise
//     make one up ("42xy" reads as 42, "not a date" as 1970);
//   - elements nest at most maximumDepth containers deep (plus the "plist"
//     wrapper and one leaf), and there are at most maximumExpandedNodes value
//     elements ("key" elements are not counted).
//
// parse() first turns UTF-16 text with a byte-order mark into UTF-8 (and
// drops a UTF-8 one), then hands the text to libplist only when that scan
// finds nothing; it also gives libplist a NUL-terminated copy, as its number
// and date parsers read C strings. serialize() writes libplist's XML form of
// a tree, dates with four-digit years.
//
// Thread safety: the static functions keep no state; any thread may call them.
//
//   if (auto problem = orvane::XMLPropertyList::findProblem(text)) {
//       log(*problem);                         // e.g. "nested too deeply"
//   }
//   orvane::PropertyListNode root = orvane::XMLPropertyList::parse(text);
//   std::optional<std::string> xml = orvane::XMLPropertyList::serialize(root.get());
#pragma once

#include "Platform/Archive/BinaryPropertyList.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace orvane {

class XMLPropertyList {
public:
    // The same limits as for binary lists: nesting depth of containers and
    // number of value elements. maximumExpandedBytes does not apply, as XML
    // has no shared references.
    using Limits = BinaryPropertyListLimits;

    // findProblem: nothing when `text` passes the scan described above,
    // otherwise a short description of the first problem.
    static std::optional<std::string> findProblem(std::string_view text, const Limits& limits = {});

    // parse: the libplist tree of `text`, or an empty node when it is UTF-16
    // that does not decode, findProblem reports a problem or libplist
    // refuses the text.
    static PropertyListNode parse(std::string_view text, const Limits& limits = {});

    // serialize: libplist's XML text of a tree (a DOCTYPE'd "plist" document),
    // or nothing when libplist writes nothing. The caller keeps the tree within
    // the limits above; libplist's writer recurses once per level.
    static std::optional<std::string> serialize(void* root);
};

}  // namespace orvane
