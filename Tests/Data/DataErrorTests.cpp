#include "Data/JSONError.hpp"
#include "Data/SerializationError.hpp"
#include "Data/StringHasherError.hpp"

#include "Platform/Foundation/ErrorKeys.hpp"
#include "Platform/Foundation/NSError.hpp"

#include <gtest/gtest.h>

namespace {

using orvane::JSONError;
using orvane::ObjectDictionary;
using orvane::StringHasherError;

TEST(DataErrors, bridgeWithTheirDomainCodeAndUserInformation) {
    const std::string debug(orvane::NSDebugDescriptionErrorKey);
    const std::string serialization = "com.orvane.vaultrix.SerializationError";
    const struct {
        orvane::NSError bridged;
        std::string domain;
        std::int64_t code;
        ObjectDictionary userInfo;
    } cases[] = {
        {orvane::SerializationError::encodingError("").toNSError(), serialization, 0, {{debug, "Encoding error. "}}},
        {orvane::SerializationError::decodingError("x").toNSError(), serialization, 1, {{debug, "Decoding error. x"}}},
        {StringHasherError(StringHasherError::Case::hashError).toNSError(), "TarvelOrvane.StringHasherError", 1,
         {{debug, "Could not compute hash"}}},
        {JSONError::invalidValueCast("k", "Int").toNSError(), "TarvelOrvane.JSONError", 3, {}},
    };
    for (const auto& [bridged, domain, code, userInfo] : cases) {
        EXPECT_EQ(bridged.domain(), domain);
        EXPECT_EQ(bridged.code(), code) << domain;
        EXPECT_EQ(bridged.userInfo(), userInfo) << domain << " " << code;
    }
    EXPECT_STREQ(JSONError::invalidValueCast("k", "Int").what(), R"(invalidValueCast(forKey: "k", type: "Int"))");
}

}  // namespace
