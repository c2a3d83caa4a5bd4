#include "Platform/Archive/BinaryPropertyList.hpp"
#include "Platform/Foundation/UTF8Validation.hpp"

#include <plist/plist.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <numeric>
#include <utility>
#include <vector>

namespace orvane {

PropertyListNode& PropertyListNode::operator=(PropertyListNode&& other) noexcept {
    if (this != &other) {
        if (node_ != nullptr) {
            plist_free(node_);
        }
        node_ = other.release();
    }
    return *this;
}

PropertyListNode::~PropertyListNode() {
    if (node_ != nullptr) {
        plist_free(node_);
    }
}

void* PropertyListNode::release() noexcept {
    return std::exchange(node_, nullptr);
}

namespace {

constexpr std::size_t headerSize = 8;
constexpr std::size_t trailerSize = 32;
constexpr std::string_view magic = "bplist00";

std::uint64_t readBigEndian(const std::uint8_t* bytes, std::size_t size) noexcept {
    std::uint64_t value = 0;
    for (std::size_t index = 0; index < size; ++index) {
        value = (value << 8) | bytes[index];
    }
    return value;
}

void appendBigEndian(std::vector<std::uint8_t>& out, std::uint64_t value, std::size_t size) {
    for (std::size_t index = size; index-- > 0;) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * index)));
    }
}

struct Trailer {
    std::size_t offsetIntSize = 0;
    std::size_t objectRefSize = 0;
    std::uint64_t objectCount = 0;
    std::uint64_t topObject = 0;
    std::uint64_t offsetTableOffset = 0;
};

enum class ObjectKind : std::uint8_t { scalar, data, asciiString, utf16String, uid, array, dictionary };

// Where one object sits and what it holds. For containers `count` is the
// number of references (a dictionary's keys, then as many values); for
// strings and data it is the number of characters or bytes.
struct ObjectExtent {
    ObjectKind kind = ObjectKind::scalar;
    // A string with a NUL character; libplist asserts on such a dictionary key.
    bool holdsNul = false;
    std::uint64_t offset = 0;
    std::uint64_t payload = 0;
    std::uint64_t count = 0;
    std::uint64_t end = 0;
};

struct Cost {
    std::uint64_t nodes = 0;
    std::uint64_t bytes = 0;
};

std::uint64_t saturatingAdd(std::uint64_t lhs, std::uint64_t rhs) noexcept {
    return rhs > std::numeric_limits<std::uint64_t>::max() - lhs ? std::numeric_limits<std::uint64_t>::max()
                                                                 : lhs + rhs;
}

class Validator {
public:
    Validator(std::span<const std::uint8_t> bytes, const BinaryPropertyList::Limits& limits)
        : bytes_(bytes), limits_(limits) {}

    std::optional<std::string> run() {
        if (auto problem = readTrailer()) {
            return problem;
        }
        if (auto problem = readObjects()) {
            return problem;
        }
        return walkFromTop();
    }

    const Trailer& trailer() const { return trailer_; }
    const std::vector<ObjectExtent>& objects() const { return objects_; }

private:
    std::optional<std::string> readTrailer() {
        const std::size_t size = bytes_.size();
        if (size < headerSize + 1 + trailerSize) {
            return "too short for a binary property list";
        }
        if (size > std::numeric_limits<std::uint32_t>::max()) {
            return "too large for libplist";
        }
        if (std::memcmp(bytes_.data(), magic.data(), magic.size()) != 0) {
            return "no bplist00 header";
        }
        const std::uint8_t* trailer = bytes_.data() + size - trailerSize;
        trailer_.offsetIntSize = trailer[6];
        trailer_.objectRefSize = trailer[7];
        trailer_.objectCount = readBigEndian(trailer + 8, 8);
        trailer_.topObject = readBigEndian(trailer + 16, 8);
        trailer_.offsetTableOffset = readBigEndian(trailer + 24, 8);

        if (trailer_.offsetIntSize < 1 || trailer_.offsetIntSize > 8) {
            return "offset size outside 1...8";
        }
        if (trailer_.objectRefSize < 1 || trailer_.objectRefSize > 8) {
            return "object reference size outside 1...8";
        }
        if (trailer_.objectCount == 0) {
            return "no objects";
        }
        if (trailer_.topObject >= trailer_.objectCount) {
            return "top object out of range";
        }
        const std::uint64_t tableEnd = size - trailerSize;
        if (trailer_.offsetTableOffset <= headerSize || trailer_.offsetTableOffset >= tableEnd) {
            return "offset table outside the file";
        }
        if (trailer_.objectCount > (tableEnd - trailer_.offsetTableOffset) / trailer_.offsetIntSize) {
            return "offset table overlaps the trailer";
        }
        return std::nullopt;
    }

    std::optional<std::string> readObjects() {
        objects_.reserve(trailer_.objectCount);
        const std::uint8_t* table = bytes_.data() + trailer_.offsetTableOffset;
        for (std::uint64_t index = 0; index < trailer_.objectCount; ++index) {
            const std::uint64_t offset =
                readBigEndian(table + index * trailer_.offsetIntSize, trailer_.offsetIntSize);
            if (offset < headerSize || offset >= trailer_.offsetTableOffset) {
                return "object offset outside the object area";
            }
            auto extent = readExtent(offset);
            if (!extent) {
                return "object " + std::to_string(index) + ": " + extentProblem_;
            }
            objects_.push_back(*extent);
        }
        // Objects may be listed twice (two offsets alike) but must not
        // overlap; that keeps this pass, and the walk, linear in the size of
        // the file. References and keys are checked once per distinct object.
        std::vector<std::uint64_t> byOffset(objects_.size());
        std::iota(byOffset.begin(), byOffset.end(), std::uint64_t{0});
        const auto byPosition = [&](std::uint64_t lhs, std::uint64_t rhs) {
            return objects_[lhs].offset < objects_[rhs].offset;
        };
        // Writers list objects in file order, so the sort is usually skipped.
        if (!std::is_sorted(byOffset.begin(), byOffset.end(), byPosition)) {
            std::sort(byOffset.begin(), byOffset.end(), byPosition);
        }
        const ObjectExtent* previous = nullptr;
        for (std::uint64_t index : byOffset) {
            const ObjectExtent& object = objects_[index];
            if (previous != nullptr && object.offset == previous->offset) {
                continue;
            }
            if (previous != nullptr && object.offset < previous->end) {
                return "objects overlap";
            }
            previous = &object;
            for (std::uint64_t slot = 0; slot < referenceCount(object); ++slot) {
                const std::uint64_t target = reference(object, slot);
                if (target >= trailer_.objectCount) {
                    return "object reference out of range";
                }
                const ObjectKind targetKind = objects_[target].kind;
                if (object.kind == ObjectKind::dictionary && slot < object.count &&
                    targetKind != ObjectKind::asciiString && targetKind != ObjectKind::utf16String) {
                    return "dictionary key is not a string";
                }
                if (object.kind == ObjectKind::dictionary && slot < object.count &&
                    objects_[target].holdsNul) {
                    return "dictionary key holds a NUL character";
                }
            }
        }
        return std::nullopt;
    }

    // Decodes the marker at `offset` and checks that the whole object lies in
    // the object area.
    std::optional<ObjectExtent> readExtent(std::uint64_t offset) {
        const std::uint64_t end = trailer_.offsetTableOffset;
        const std::uint8_t marker = bytes_[offset];
        const unsigned type = marker >> 4;
        const unsigned info = marker & 0x0F;
        ObjectExtent extent;
        extent.offset = offset;
        std::uint64_t position = offset + 1;

        auto fixed = [&](std::uint64_t size) -> std::optional<ObjectExtent> {
            if (size > end - position) {
                extentProblem_ = "runs past the object area";
                return std::nullopt;
            }
            extent.payload = position;
            extent.count = size;
            extent.end = position + size;
            return extent;
        };

        switch (type) {
            case 0x0:
                if (info == 0x8 || info == 0x9) {
                    return fixed(0);
                }
                extentProblem_ = "unsupported marker";
                return std::nullopt;
            case 0x1:
                if (info > 4) {
                    extentProblem_ = "integer wider than 16 bytes";
                    return std::nullopt;
                }
                // libplist reads the low 8 of 16 bytes: the high 8 must add nothing.
                if (info == 4 && fixed(16) &&
                    std::any_of(bytes_.begin() + position, bytes_.begin() + position + 8,
                                [](std::uint8_t byte) { return byte != 0; })) {
                    extentProblem_ = "integer beyond 64 bits";
                    return std::nullopt;
                }
                return fixed(std::uint64_t{1} << info);
            case 0x2:
                if (info != 2 && info != 3) {
                    extentProblem_ = "real neither 4 nor 8 bytes";
                    return std::nullopt;
                }
                return fixed(std::uint64_t{1} << info);
            case 0x3:
                if (info != 3) {
                    extentProblem_ = "date not 8 bytes";
                    return std::nullopt;
                }
                return fixed(8);
            case 0x8:
                if (info > 7) {
                    extentProblem_ = "uid wider than 8 bytes";
                    return std::nullopt;
                }
                extent.kind = ObjectKind::uid;
                return fixed(info + 1);
            case 0x4:
            case 0x5:
            case 0x6:
            case 0xA:
            case 0xC:
            case 0xD:
                break;
            default:
                extentProblem_ = "unsupported marker";
                return std::nullopt;
        }

        std::uint64_t count = info;
        if (info == 0x0F) {
            if (position >= end) {
                extentProblem_ = "length runs past the object area";
                return std::nullopt;
            }
            const std::uint8_t lengthMarker = bytes_[position];
            if ((lengthMarker >> 4) != 0x1 || (lengthMarker & 0x0F) > 3) {
                extentProblem_ = "malformed extended length";
                return std::nullopt;
            }
            const std::uint64_t lengthSize = std::uint64_t{1} << (lengthMarker & 0x0F);
            if (lengthSize > end - position - 1) {
                extentProblem_ = "length runs past the object area";
                return std::nullopt;
            }
            count = readBigEndian(bytes_.data() + position + 1, lengthSize);
            position += 1 + lengthSize;
        }

        std::uint64_t unit = 1;
        switch (type) {
            case 0x4:
                extent.kind = ObjectKind::data;
                break;
            case 0x5:
                extent.kind = ObjectKind::asciiString;
                break;
            case 0x6:
                extent.kind = ObjectKind::utf16String;
                unit = 2;
                break;
            case 0xA:
            case 0xC:  // a set reads as an array
                extent.kind = ObjectKind::array;
                unit = trailer_.objectRefSize;
                break;
            default:
                extent.kind = ObjectKind::dictionary;
                unit = 2 * trailer_.objectRefSize;
                break;
        }
        if (count > (end - position) / unit) {
            extentProblem_ = "contents run past the object area";
            return std::nullopt;
        }
        extent.payload = position;
        extent.count = count;
        extent.end = position + count * unit;
        const std::uint8_t* payload = bytes_.data() + position;
        if (extent.kind == ObjectKind::asciiString) {
            extent.holdsNul = std::memchr(payload, 0, count) != nullptr;
        } else if (extent.kind == ObjectKind::utf16String) {
            for (std::uint64_t index = 0; index < count && !extent.holdsNul; ++index) {
                extent.holdsNul = payload[2 * index] == 0 && payload[2 * index + 1] == 0;
            }
        }
        return extent;
    }

    std::uint64_t reference(const ObjectExtent& object, std::uint64_t slot) const {
        return readBigEndian(bytes_.data() + object.payload + slot * trailer_.objectRefSize,
                             trailer_.objectRefSize);
    }

    std::uint64_t referenceCount(const ObjectExtent& object) const {
        switch (object.kind) {
            case ObjectKind::array:
                return object.count;
            case ObjectKind::dictionary:
                return object.count * 2;
            default:
                return 0;
        }
    }

    static std::uint64_t payloadBytes(const ObjectExtent& object) {
        switch (object.kind) {
            case ObjectKind::data:
            case ObjectKind::asciiString:
                return object.count;
            case ObjectKind::utf16String:
                return object.count * 4;  // libplist converts through a buffer of four bytes a unit
            default:
                return 0;
        }
    }

    // Depth-first from the top object with an explicit stack of containers:
    // a grey object met again is a cycle; a black one has its expanded cost
    // memoised, so shared objects are costed once but counted at every use.
    std::optional<std::string> walkFromTop() {
        enum : std::uint8_t { white, grey, black };
        std::vector<std::uint8_t> colour(objects_.size(), white);
        std::vector<Cost> cost(objects_.size());
        struct Frame {
            std::uint64_t object;
            std::uint64_t nextSlot;
        };
        std::vector<Frame> stack;
        const std::uint64_t byteLimit = saturatingAdd(limits_.maximumExpandedBytes, bytes_.size());

        auto tooLarge = [&](const Cost& total) {
            return total.nodes > limits_.maximumExpandedNodes || total.bytes > byteLimit;
        };
        auto finish = [&](std::uint64_t object) -> std::optional<std::string> {
            colour[object] = black;
            if (tooLarge(cost[object])) {
                return "expands to too large a tree";
            }
            return std::nullopt;
        };
        // Adds a finished child to its parent, stopping as soon as the parent
        // is too large so the walk never does more work than the limit allows.
        auto addTo = [&](std::uint64_t parent, std::uint64_t child) -> std::optional<std::string> {
            cost[parent].nodes = saturatingAdd(cost[parent].nodes, cost[child].nodes);
            cost[parent].bytes = saturatingAdd(cost[parent].bytes, cost[child].bytes);
            if (tooLarge(cost[parent])) {
                return "expands to too large a tree";
            }
            return std::nullopt;
        };
        // Starts `object`; containers go on the stack, anything else is done at once.
        auto enter = [&](std::uint64_t object) -> std::optional<std::string> {
            if (colour[object] == grey) {
                return "an object contains itself";
            }
            if (colour[object] == black) {
                return std::nullopt;
            }
            cost[object] = Cost{1, payloadBytes(objects_[object])};
            if (referenceCount(objects_[object]) == 0) {
                return finish(object);
            }
            if (stack.size() >= limits_.maximumDepth) {
                return "nested too deeply";
            }
            colour[object] = grey;
            stack.push_back(Frame{object, 0});
            return std::nullopt;
        };

        if (auto problem = enter(trailer_.topObject)) {
            return problem;
        }
        while (!stack.empty()) {
            Frame& frame = stack.back();
            const std::uint64_t parent = frame.object;
            if (frame.nextSlot < referenceCount(objects_[parent])) {
                const std::uint64_t child = reference(objects_[parent], frame.nextSlot++);
                if (auto problem = enter(child)) {
                    return problem;
                }
                if (colour[child] == black) {
                    if (auto problem = addTo(parent, child)) {
                        return problem;
                    }
                }
                continue;
            }
            stack.pop_back();
            if (auto problem = finish(parent)) {
                return problem;
            }
            if (!stack.empty()) {
                if (auto problem = addTo(stack.back().object, parent)) {
                    return problem;
                }
            }
        }
        return std::nullopt;
    }

    std::span<const std::uint8_t> bytes_;
    const BinaryPropertyList::Limits& limits_;
    Trailer trailer_;
    std::vector<ObjectExtent> objects_;
    std::string extentProblem_;
};

void appendMarker(std::vector<std::uint8_t>& out, unsigned type, std::uint64_t count) {
    if (count < 0x0F) {
        out.push_back(static_cast<std::uint8_t>((type << 4) | count));
    } else {
        out.push_back(static_cast<std::uint8_t>((type << 4) | 0x0F));
        out.push_back(0x13);
        appendBigEndian(out, count, 8);
    }
}

// The objects libplist would misread, re-encoded: an ASCII string with a NUL
// becomes UTF-16, an empty UTF-16 string becomes an empty ASCII one. The
// replacements go after the object area, with a new offset table pointing
// at them; references are indices, so nothing else changes.
std::optional<std::vector<std::uint8_t>> withoutParserQuirks(std::span<const std::uint8_t> bytes,
                                                             const Validator& validator) {
    const auto& objects = validator.objects();
    auto needsRewrite = [&](const ObjectExtent& object) {
        if (object.kind == ObjectKind::utf16String) {
            return object.count == 0;
        }
        if (object.kind == ObjectKind::asciiString) {
            const auto* begin = bytes.data() + object.payload;
            return std::find(begin, begin + object.count, std::uint8_t{0}) != begin + object.count;
        }
        return false;
    };
    if (std::none_of(objects.begin(), objects.end(), needsRewrite)) {
        return std::nullopt;
    }

    const Trailer& trailer = validator.trailer();
    std::vector<std::uint8_t> out(bytes.begin(),
                                  bytes.begin() + static_cast<std::ptrdiff_t>(trailer.offsetTableOffset));
    std::vector<std::uint64_t> offsets;
    offsets.reserve(objects.size());
    for (const ObjectExtent& object : objects) {
        if (!needsRewrite(object)) {
            offsets.push_back(object.offset);
            continue;
        }
        offsets.push_back(out.size());
        if (object.kind == ObjectKind::utf16String) {
            appendMarker(out, 0x5, 0);
            continue;
        }
        appendMarker(out, 0x6, object.count);
        for (std::uint64_t index = 0; index < object.count; ++index) {
            out.push_back(0);
            out.push_back(bytes[object.payload + index]);
        }
    }
    const std::uint64_t tableOffset = out.size();
    for (std::uint64_t offset : offsets) {
        appendBigEndian(out, offset, 8);
    }
    std::array<std::uint8_t, trailerSize> newTrailer{};
    newTrailer[6] = 8;
    newTrailer[7] = static_cast<std::uint8_t>(trailer.objectRefSize);
    std::vector<std::uint8_t> tail;
    appendBigEndian(tail, trailer.objectCount, 8);
    appendBigEndian(tail, trailer.topObject, 8);
    appendBigEndian(tail, tableOffset, 8);
    std::copy(tail.begin(), tail.end(), newTrailer.begin() + 8);
    out.insert(out.end(), newTrailer.begin(), newTrailer.end());
    return out;
}

// UTF-8 to UTF-16 code units; the input has been checked to be valid.
std::vector<std::uint16_t> utf16Units(std::string_view utf8) {
    std::vector<std::uint16_t> units;
    units.reserve(utf8.size());
    for (std::size_t index = 0; index < utf8.size();) {
        const auto lead = static_cast<std::uint8_t>(utf8[index]);
        std::uint32_t codePoint = 0;
        std::size_t length = 1;
        if (lead < 0x80) {
            codePoint = lead;
        } else if (lead < 0xE0) {
            codePoint = lead & 0x1F;
            length = 2;
        } else if (lead < 0xF0) {
            codePoint = lead & 0x0F;
            length = 3;
        } else {
            codePoint = lead & 0x07;
            length = 4;
        }
        for (std::size_t next = 1; next < length; ++next) {
            codePoint = (codePoint << 6) | (static_cast<std::uint8_t>(utf8[index + next]) & 0x3F);
        }
        index += length;
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            units.push_back(static_cast<std::uint16_t>(0xD800 | (codePoint >> 10)));
            units.push_back(static_cast<std::uint16_t>(0xDC00 | (codePoint & 0x3FF)));
        } else {
            units.push_back(static_cast<std::uint16_t>(codePoint));
        }
    }
    return units;
}

}  // namespace

std::optional<std::string> BinaryPropertyList::findProblem(std::span<const std::uint8_t> bytes,
                                                           const Limits& limits) {
    return Validator(bytes, limits).run();
}

PropertyListNode BinaryPropertyList::parse(std::span<const std::uint8_t> bytes, const Limits& limits) {
    Validator validator(bytes, limits);
    if (validator.run()) {
        return {};
    }
    plist_t root = nullptr;
    if (auto rewritten = withoutParserQuirks(bytes, validator)) {
        if (rewritten->size() > std::numeric_limits<std::uint32_t>::max()) {
            return {};
        }
        plist_from_bin(reinterpret_cast<const char*>(rewritten->data()),
                       static_cast<std::uint32_t>(rewritten->size()), &root);
    } else {
        plist_from_bin(reinterpret_cast<const char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()),
                       &root);
    }
    return PropertyListNode(root);
}

std::optional<Data> BinaryPropertyList::serialize(void* root) {
    if (root == nullptr) {
        return std::nullopt;
    }
    char* bytes = nullptr;  // plist_to_bin writes nothing unless this starts out null
    std::uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    if (bytes == nullptr) {
        return std::nullopt;
    }
    Data data(bytes, length);
    wipeMemory(bytes, length);
    plist_to_bin_free(bytes);
    return data;
}

PropertyListNode BinaryPropertyList::makeString(std::string_view utf8) {
    if (!isValidUTF8(utf8)) {
        return {};
    }
    if (utf8.find('\0') == std::string_view::npos) {
        return PropertyListNode(plist_new_string(std::string(utf8).c_str()));
    }
    // libplist keeps NUL bytes only in strings it parsed from UTF-16, so
    // build a one-object property list holding the string that way.
    const std::vector<std::uint16_t> units = utf16Units(utf8);
    std::vector<std::uint8_t> list(magic.begin(), magic.end());
    appendMarker(list, 0x6, units.size());
    for (std::uint16_t unit : units) {
        appendBigEndian(list, unit, 2);
    }
    const std::uint64_t tableOffset = list.size();
    appendBigEndian(list, headerSize, 8);
    std::array<std::uint8_t, trailerSize> trailer{};
    trailer[6] = 8;
    trailer[7] = 1;
    trailer[15] = 1;
    for (std::size_t index = 0; index < 8; ++index) {
        trailer[24 + index] = static_cast<std::uint8_t>(tableOffset >> (8 * (7 - index)));
    }
    list.insert(list.end(), trailer.begin(), trailer.end());
    return parse(list);
}

}  // namespace orvane
