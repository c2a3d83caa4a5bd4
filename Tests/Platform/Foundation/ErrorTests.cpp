#include "Platform/Foundation/Error.hpp"
#include "Platform/Foundation/ErrorKeys.hpp"
#include "Platform/Foundation/NSError.hpp"
#include "Platform/Foundation/NSException.hpp"

#include <gtest/gtest.h>

using orvane::NSError;

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

// User-information keys are written out: they must be the platform's strings.
TEST(EnumeratedError, bridgesWithTheModuleQualifiedNameOrItsOwnDomainAndTheCasePosition) {
    EXPECT_EQ(SampleError(SampleFailure::third).toNSError(), NSError("TarvelOrvane.SampleError", 2));
    EXPECT_STREQ(SampleError(SampleFailure::third).what(),
                 "The operation couldn\u2019t be completed. (TarvelOrvane.SampleError error 2.)");
    EXPECT_EQ(NamedDomainError(SampleFailure::first).toNSError(),
              NSError("com.orvane.sample.NamedDomainError", 0, {{"NSDebugDescription", "what went wrong"}}));
}

TEST(NSError, readsItsTextsFromUserInformation) {
    const NSError plain("Domain", -3);
    EXPECT_EQ(plain.localizedDescription(), "The operation couldn\u2019t be completed. (Domain error -3.)");
    EXPECT_FALSE(plain.failureReason().has_value());

    const NSError rich("Domain", 1,
                       {{"NSLocalizedDescription", "Broken"},
                        {"NSLocalizedFailureReason", "Because"},
                        {"NSLocalizedRecoverySuggestion", "Retry"}});
    EXPECT_EQ(rich.localizedDescription(), "Broken");
    EXPECT_EQ(rich.failureReason(), "Because");
    EXPECT_EQ(rich.recoverySuggestion(), "Retry");
    EXPECT_FALSE(NSError("D", 1, {{"NSLocalizedRecoverySuggestion", 5}}).recoverySuggestion().has_value());
    EXPECT_STREQ(NSError("D", 1, {{"NSDebugDescription", "broken"}}).what(),
                 "The operation couldn\u2019t be completed. (D error 1.) broken");
    EXPECT_EQ(orvane::NSUnderlyingErrorKey, "NSUnderlyingError");
}

TEST(NSError, equalityCoversDomainCodeAndUserInformation) {
    EXPECT_EQ(NSError("D", 1, {{"k", 1}}), NSError("D", 1, {{"k", 1}}));
    EXPECT_NE(NSError("D", 1, {{"k", 1}}), NSError("D", 1, {{"k", 2}}));
    EXPECT_NE(NSError("D", 1), NSError("E", 1));
    EXPECT_NE(NSError("D", 1), NSError("D", 2));
}

TEST(NSException, describesItselfByNameAndReason) {
    EXPECT_STREQ(orvane::NSException("NSRangeException", "index 3 beyond bounds").what(),
                 "NSRangeException: index 3 beyond bounds");
    EXPECT_STREQ(orvane::NSException("Bare").what(), "Bare");
}
