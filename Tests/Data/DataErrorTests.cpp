#include "Data/JSONError.hpp"
#include "Data/SerializationError.hpp"
#include "Data/StringHasherError.hpp"

#include "Platform/Foundation/ErrorKeys.hpp"
#include "Platform/Foundation/NSError.hpp"

#include <gtest/gtest.h>

namespace {

using orvane::NSError;

TEST(DataErrors, bridgeWithTheirDomainCodeAndUserInformation) {
    const std::string debug(orvane::NSDebugDescriptionErrorKey);
    using orvane::SerializationError;
    using orvane::StringHasherError;
    const std::pair<NSError, NSError> bridgedAndExpected[] = {
        {SerializationError::encodingError("").toNSError(),
         {"com.orvane.vaultrix.SerializationError", 0, {{debug, "Encoding error. "}}}},
        {SerializationError::decodingError("x").toNSError(),
         {"com.orvane.vaultrix.SerializationError", 1, {{debug, "Decoding error. x"}}}},
        {StringHasherError(StringHasherError::Case::hashError).toNSError(),
         {"TarvelOrvane.StringHasherError", 1, {{debug, "Could not compute hash"}}}},
        {orvane::JSONError::invalidValueCast("k", "Int").toNSError(), {"TarvelOrvane.JSONError", 3}},
    };
    for (const auto& [bridged, expected] : bridgedAndExpected) {
        EXPECT_EQ(bridged, expected) << expected.domain() << " " << expected.code();
    }
    EXPECT_STREQ(orvane::JSONError::invalidValueCast("k", "Int").what(),
                 R"(invalidValueCast(forKey: "k", type: "Int"))");
}

}  // namespace
