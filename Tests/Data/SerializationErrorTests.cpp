#include "Data/SerializationError.hpp"

#include "Platform/Foundation/ErrorKeys.hpp"
#include "Platform/Foundation/NSError.hpp"

#include <gtest/gtest.h>

using orvane::SerializationError;

TEST(SerializationError, bridgesWithItsOwnDomainCodeAndTheDescriptionAsOnlyEntry) {
    const orvane::NSError bridged = SerializationError::decodingError("x").toNSError();
    EXPECT_EQ(bridged.domain(), "com.orvane.vaultrix.SerializationError");
    EXPECT_EQ(bridged.code(), 1);
    EXPECT_EQ(bridged.userInfo(), (orvane::ObjectDictionary{{std::string(orvane::NSDebugDescriptionErrorKey),
                                                             orvane::Object("Decoding error. x")}}));
    EXPECT_EQ(SerializationError::encodingError("").code(), 0);
    EXPECT_STREQ(SerializationError::encodingError("").what(), "Encoding error. ");
}
