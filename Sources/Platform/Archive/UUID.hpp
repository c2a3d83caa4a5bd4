// UUID: a 128-bit universally unique identifier as a small value type, the
// form an NSUUID takes when it comes out of a keyed archive.
//
// Its text is the canonical 8-4-4-4-12 grouping of hexadecimal digits, in
// upper case as the platform writes it; fromString() also reads lower case.
// The unarchiver yields an archived NSUUID as an Object box holding a UUID,
// and the archiver writes such a box back as an NSUUID.
//
// Value type: const access from many threads is safe.
//
//   std::optional<orvane::UUID> id = orvane::UUID::fromString("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
//   id->uuidString();                       // "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"
//   root.as<orvane::UUID>();                // from an unarchived NSUUID
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

class UUID {
public:
    using Bytes = std::array<std::uint8_t, 16>;

    // The all-zero UUID.
    constexpr UUID() noexcept = default;
    constexpr explicit UUID(const Bytes& bytes) noexcept : bytes_(bytes) {}

    // The UUID written in canonical text (either case); nothing for any other text.
    static std::optional<UUID> fromString(std::string_view text);

    const Bytes& bytes() const noexcept { return bytes_; }
    std::string uuidString() const;

    friend bool operator==(const UUID&, const UUID&) = default;

private:
    Bytes bytes_{};
};

}  // namespace orvane
