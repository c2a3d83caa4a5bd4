#include "Platform/Foundation/Error.hpp"
#include "Platform/Foundation/ErrorKeys.hpp"
#include "Platform/Foundation/NSError.hpp"
#include "Platform/Foundation/NSException.hpp"

#include <gtest/gtest.h>

using orvane::NSError;
using orvane::Object;

namespace {

enum class SampleFailure { first, second, third };

class SampleError : public orvane::EnumeratedError<SampleError, SampleFailure> {
public:
    static constexpr std::string_view typeName = "SampleError";
    using EnumeratedError::EnumeratedError;
};

class NamedDomainError : public orvane::EnumeratedError<NamedDomainError, SampleFailure> {
public:
    static constexpr std::string_view errorDomain = "com.orvane.sample.NamedDomainError";
    using EnumeratedError::EnumeratedError;

    orvane::ObjectDictionary userInfo() const override {
        return {{std::string(orvane::NSDebugDescriptionErrorKey), "what went wrong"}};
    }
};

}  // namespace

TEST(EnumeratedError, bridgesWithTheModuleQualifiedNameAndDeclarationPosition) {
    const SampleError error(SampleFailure::third);
    EXPECT_EQ(error.domain(), "TarvelOrvane.SampleError");
    EXPECT_EQ(error.code(), 2);
    const NSError bridged = error.toNSError();
    EXPECT_EQ(bridged.domain(), "TarvelOrvane.SampleError");
    EXPECT_EQ(bridged.code(), 2);
    EXPECT_TRUE(bridged.userInfo().empty());
    EXPECT_STREQ(error.what(),
                 "The operation couldn\u2019t be completed. (TarvelOrvane.SampleError error 2.)");
}

TEST(EnumeratedError, aTypeMayNameItsOwnDomainAndUserInformation) {
    const NamedDomainError error(SampleFailure::first);
    const NSError bridged = error.toNSError();
    EXPECT_EQ(bridged.domain(), "com.orvane.sample.NamedDomainError");
    EXPECT_EQ(bridged.code(), 0);
    EXPECT_EQ(bridged.userInfo().at("NSDebugDescription"), Object("what went wrong"));
}

TEST(EnumeratedError, isCaughtByItsOwnTypeAndByTheBase) {
    try {
        throw SampleError(SampleFailure::second);
    } catch (const orvane::Error& error) {
        EXPECT_EQ(error.code(), 1);
        EXPECT_NE(dynamic_cast<const SampleError*>(&error), nullptr);
    }
}

TEST(NSError, readsDescriptionReasonAndSuggestionFromUserInformation) {
    const NSError plain("Domain", -3);
    EXPECT_EQ(plain.localizedDescription(), "The operation couldn\u2019t be completed. (Domain error -3.)");
    EXPECT_FALSE(plain.failureReason().has_value());
    EXPECT_FALSE(plain.recoverySuggestion().has_value());

    const NSError rich("Domain", 1,
                       {{std::string(orvane::NSLocalizedDescriptionKey), "Broken"},
                        {std::string(orvane::NSLocalizedFailureReasonErrorKey), "Because"},
                        {std::string(orvane::NSLocalizedRecoverySuggestionErrorKey), 5}});
    EXPECT_EQ(rich.localizedDescription(), "Broken");
    EXPECT_EQ(rich.failureReason(), "Because");
    // A non-string entry is no suggestion.
    EXPECT_FALSE(rich.recoverySuggestion().has_value());
}

TEST(NSError, equalityCoversDomainCodeAndUserInformation) {
    EXPECT_EQ(NSError("D", 1, {{"k", 1}}), NSError("D", 1, {{"k", 1}}));
    EXPECT_NE(NSError("D", 1, {{"k", 1}}), NSError("D", 1, {{"k", 2}}));
    EXPECT_NE(NSError("D", 1), NSError("E", 1));
    EXPECT_NE(NSError("D", 1), NSError("D", 2));
}

TEST(NSError, anUnderlyingErrorTravelsInTheUserInformation) {
    const NSError cause("Cause", 9);
    const NSError error("Outer", 1, {{std::string(orvane::NSUnderlyingErrorKey), orvane::toObject(cause)}});
    EXPECT_EQ(error.userInfo().at("NSUnderlyingError").as<NSError>(), cause);
    EXPECT_NE(std::string(error.what()).find("Outer"), std::string::npos);
}

TEST(NSException, carriesNameReasonAndUserInformation) {
    const orvane::NSException exception("NSRangeException", "index 3 beyond bounds", {{"index", 3}});
    EXPECT_EQ(exception.name(), "NSRangeException");
    EXPECT_EQ(exception.reason(), "index 3 beyond bounds");
    EXPECT_EQ(exception.userInfo().at("index"), Object(3));
    EXPECT_STREQ(exception.what(), "NSRangeException: index 3 beyond bounds");
    EXPECT_STREQ(orvane::NSException("Bare").what(), "Bare");
}

TEST(ErrorKeys, haveThePlatformStringValues) {
    EXPECT_EQ(orvane::NSDebugDescriptionErrorKey, "NSDebugDescription");
    EXPECT_EQ(orvane::NSUnderlyingErrorKey, "NSUnderlyingError");
    EXPECT_EQ(orvane::NSLocalizedDescriptionKey, "NSLocalizedDescription");
    EXPECT_EQ(orvane::NSLocalizedFailureReasonErrorKey, "NSLocalizedFailureReason");
    EXPECT_EQ(orvane::NSLocalizedRecoverySuggestionErrorKey, "NSLocalizedRecoverySuggestion");
}
