// BinaryPropertyList: safe reading and writing of binary property lists
// ("bplist00") through libplist, and PropertyListNode, an owner of a libplist
// node tree.
//
// libplist 2.2 trusts the structure of the bytes it parses: its binary parser
// follows offsets and references without range checks, recurses into a
// container that contains itself until the stack runs out, and expands a DAG
// into a tree, so thirty levels of an array referring twice to the next
// become 2^30 nodes. findProblem() walks the structure first (header,
// trailer, offset table, every object's marker and extent, objects that
// overlap, every reference, dictionary keys that are not strings or hold a
// NUL character (libplist asserts on those when it iterates), nesting
// depth, cycles, and the size of the expanded tree), in O(n log n) time for
// n bytes; parse() hands bytes to libplist only when that walk finds
// nothing. parse() also works around two
// parser quirks: an ASCII string is cut at its first NUL byte, and an empty
// UTF-16 string fails the whole parse. Such objects are re-encoded (an
// appended copy with a new offset table) before libplist sees them.
//
// Thread safety: the static functions keep no state; any thread may call
// them. A PropertyListNode is used by one thread at a time.
//
//   if (auto problem = orvane::BinaryPropertyList::findProblem(bytes)) {
//       log(*problem);                      // e.g. "object reference out of range"
//   }
//   orvane::PropertyListNode root = orvane::BinaryPropertyList::parse(bytes);
//   if (root) { /* plist_get_node_type(root.get()) ... */ }
//   std::optional<orvane::Data> written = orvane::BinaryPropertyList::serialize(root.get());
#pragma once

#include "Platform/Foundation/Data.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orvane {

// Owns a libplist node (a plist_t, which is a void pointer) and frees the
// whole tree below it with plist_free. Move-only.
class PropertyListNode {
public:
    PropertyListNode() noexcept = default;
    explicit PropertyListNode(void* node) noexcept : node_(node) {}
    PropertyListNode(PropertyListNode&& other) noexcept : node_(other.release()) {}
    PropertyListNode& operator=(PropertyListNode&& other) noexcept;
    PropertyListNode(const PropertyListNode&) = delete;
    PropertyListNode& operator=(const PropertyListNode&) = delete;
    ~PropertyListNode();

    void* get() const noexcept { return node_; }
    // Gives up ownership, e.g. to a container node that takes it over.
    void* release() noexcept;
    explicit operator bool() const noexcept { return node_ != nullptr; }

private:
    void* node_ = nullptr;
};

// What BinaryPropertyList accepts before libplist may build the tree.
struct BinaryPropertyListLimits {
    // Containers nested along any path from the top object.
    std::size_t maximumDepth = 256;
    // Nodes of the tree libplist builds, where every reference is a copy.
    std::uint64_t maximumExpandedNodes = 1'000'000;
    // String and data bytes of that tree beyond the size of the input.
    std::uint64_t maximumExpandedBytes = 64ULL << 20;
};

class BinaryPropertyList {
public:
    using Limits = BinaryPropertyListLimits;

    // findProblem: nothing when `bytes` is a well-formed binary property list
    // within `limits`, otherwise a short description of the first problem.
    static std::optional<std::string> findProblem(std::span<const std::uint8_t> bytes,
                                                  const Limits& limits = {});
    static bool isWellFormed(std::span<const std::uint8_t> bytes, const Limits& limits = {}) {
        return !findProblem(bytes, limits);
    }

    // parse: the libplist tree of `bytes`, or an empty node when findProblem
    // reports a problem or libplist refuses the bytes.
    static PropertyListNode parse(std::span<const std::uint8_t> bytes, const Limits& limits = {});

    // serialize: the binary property list of a libplist tree, or nothing when
    // libplist writes nothing.
    static std::optional<Data> serialize(void* root);

    // makeString: a libplist string node holding `utf8` exactly, NUL bytes
    // included (plist_new_string stops at the first NUL). `utf8` must be
    // valid UTF-8; an empty node otherwise.
    static PropertyListNode makeString(std::string_view utf8);
};

}  // namespace orvane
