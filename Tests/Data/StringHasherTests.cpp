#include "Data/StringHasher.hpp"

#include "Data/StringHasherError.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using orvane::StringHasher;
using orvane::StringHasherError;

// Stands in for the crypto component: records its input, returns what it is told.
class ScriptedEncryptor : public cryptonel::CCEncryptor {
public:
    explicit ScriptedEncryptor(std::optional<orvane::Data> answer) : answer_(std::move(answer)) {}
    std::optional<orvane::Data> computeHash(std::span<const std::uint8_t> data) const override {
        received.assign(data.begin(), data.end());
        return answer_;
    }
    mutable std::vector<std::uint8_t> received;

private:
    std::optional<orvane::Data> answer_;
};

std::optional<StringHasherError::Case> failureOf(const StringHasher& hasher, std::string_view input) {
    try {
        hasher.computeHash(input);
    } catch (const StringHasherError& error) {
        return error.errorCase();
    }
    return std::nullopt;
}

TEST(StringHasher, returnsTheBase64OfTheSHA256OfTheBytesAsGivenAndThrowsFailuresByCase) {
    const StringHasher hasher;
    EXPECT_EQ(hasher.computeHash("abc"), "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0=");
    EXPECT_EQ(hasher.computeHash(""), "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=");
    EXPECT_NE(hasher.computeHash("abc "), hasher.computeHash("abc"));  // nothing is trimmed

    // The component's whole output is encoded, whatever its length.
    const orvane::Data output(std::string(100, '\xAB'));
    auto encryptor = std::make_shared<ScriptedEncryptor>(output);
    EXPECT_EQ(StringHasher(encryptor).computeHash(std::string_view("caf\u00e9\0", 6)),
              output.base64EncodedString());
    EXPECT_EQ(encryptor->received, (std::vector<std::uint8_t>{'c', 'a', 'f', 0xC3, 0xA9, 0}));

    EXPECT_EQ(failureOf(StringHasher(std::make_shared<ScriptedEncryptor>(std::nullopt)), "abc"),
              StringHasherError::Case::hashError);
    EXPECT_EQ(failureOf(hasher, "caf\xe9"), StringHasherError::Case::unexpectedStringEncoding);
}

}  // namespace
