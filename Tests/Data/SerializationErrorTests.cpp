#include "Data/SerializationError.hpp"

#include "Platform/Foundation/ErrorKeys.hpp"
#include "Platform/Foundation/NSError.hpp"

#include <gtest/gtest.h>

using orvane::Object;
using orvane::SerializationError;

TEST(SerializationError, bridgesWithItsOwnDomainAndTheDescriptionAsOnlyEntry) {
    const SerializationError error = SerializationError::decodingError("x");
    EXPECT_EQ(error.errorCase(), SerializationError::Case::decodingError);
    EXPECT_EQ(error.debugDescription(), "Decoding error. x");
    EXPECT_STREQ(error.what(), "Decoding error. x");
    const orvane::NSError bridged = error.toNSError();
    EXPECT_EQ(bridged.domain(), "com.orvane.vaultrix.SerializationError");
    EXPECT_EQ(bridged.code(), 1);
    EXPECT_EQ(bridged.userInfo(), (orvane::ObjectDictionary{{std::string(orvane::NSDebugDescriptionErrorKey),
                                                             Object("Decoding error. x")}}));
}

TEST(SerializationError, encodingIsCodeZeroAndAnEmptyMessageKeepsThePrefixBlank) {
    const SerializationError error = SerializationError::encodingError("");
    EXPECT_EQ(error.code(), 0);
    EXPECT_EQ(error.debugDescription(), "Encoding error. ");
    EXPECT_EQ(SerializationError::encodingError("bad value").debugDescription(), "Encoding error. bad value");
    EXPECT_EQ(SerializationError::encodingError("m"), SerializationError::encodingError("m"));
    EXPECT_FALSE(SerializationError::encodingError("m") == SerializationError::decodingError("m"));
}
