#include "Core/AnyError.hpp"

#include "Platform/Foundation/NSError.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace anyerror_test {
enum class Fault { none, minor, major };
}

namespace {

using anyerror_test::Fault;

using orvane::AnyError;
using orvane::NSError;
using orvane::Object;
using orvane::ObjectDictionary;

// An error whose texts come from overridden accessors, not from user info.
class ExplainedError : public orvane::Error {
public:
    ExplainedError(std::optional<std::string> reason, std::optional<std::string> suggestion)
        : reason_(std::move(reason)), suggestion_(std::move(suggestion)) {}
    std::string domain() const override { return "Explained"; }
    std::int64_t code() const override { return 9; }
    std::string localizedDescription() const override { return "It went wrong."; }
    std::optional<std::string> failureReason() const override { return reason_; }
    std::optional<std::string> recoverySuggestion() const override { return suggestion_; }

private:
    std::optional<std::string> reason_;
    std::optional<std::string> suggestion_;
};

TEST(AnyError, forwardsEveryAccessorToTheHeldError) {
    const AnyError explained(ExplainedError("no disk", "free some space"));
    EXPECT_EQ(explained.domain(), "Explained");
    EXPECT_EQ(explained.code(), 9);
    EXPECT_EQ(explained.localizedDescription(), "It went wrong.");
    EXPECT_EQ(explained.failureReason(), "no disk");
    EXPECT_EQ(explained.recoverySuggestion(), "free some space");

    const NSError inner("Domain", 4, {{std::string(orvane::NSLocalizedDescriptionKey), Object("described")}});
    const AnyError wrapped(inner);
    EXPECT_EQ(wrapped.userInfo(), inner.userInfo());
    EXPECT_EQ(wrapped.localizedDescription(), "described");
    EXPECT_STREQ(wrapped.what(), inner.what());
}

TEST(AnyError, sharesTheHeldErrorWithoutNestingAndKeepsItsDynamicType) {
    auto held = std::make_shared<ExplainedError>(std::nullopt, std::nullopt);
    const AnyError once{std::shared_ptr<const orvane::Error>(held)};
    EXPECT_EQ(once.errorIf<ExplainedError>(), held.get());
    const AnyError twice(once);
    EXPECT_EQ(twice.errorPointer(), once.errorPointer());
    EXPECT_EQ(twice.errorIf<AnyError>(), nullptr) << "an AnyError never holds another AnyError";
    EXPECT_THROW(AnyError(std::shared_ptr<const orvane::Error>()), std::invalid_argument);
}

TEST(AnyError, holdsOtherValuesUnderTheirTypeName) {
    const AnyError exception(std::runtime_error("disk full"));
    EXPECT_EQ(exception.domain(), "std.runtime_error");
    EXPECT_EQ(exception.code(), 1);
    EXPECT_EQ(exception.localizedDescription(), "disk full");
    EXPECT_STREQ(exception.what(), "disk full");
    ASSERT_NE(exception.errorIf<std::runtime_error>(), nullptr);
    EXPECT_EQ(exception.errorIf<std::logic_error>(), nullptr);

    const AnyError fault(Fault::major);
    EXPECT_EQ(fault.domain(), "anyerror_test.Fault");
    EXPECT_EQ(fault.code(), 2);
    ASSERT_NE(fault.errorIf<Fault>(), nullptr);
    EXPECT_EQ(*fault.errorIf<Fault>(), Fault::major);
}

TEST(AnyError, bridgesToNSErrorWithThreeEntriesMissingTextsAsNull) {
    const NSError bridged(AnyError(ExplainedError("no disk", "free some space")));
    EXPECT_EQ(bridged.domain(), "");
    EXPECT_EQ(bridged.code(), -1);
    EXPECT_EQ(bridged.userInfo(), (ObjectDictionary{{"NSLocalizedDescription", "It went wrong."},
                                                    {"NSLocalizedFailureReason", "no disk"},
                                                    {"NSLocalizedRecoverySuggestion", "free some space"}}));

    const NSError bare(AnyError(ExplainedError(std::nullopt, std::nullopt)));
    EXPECT_EQ(bare.userInfo().size(), 3u);
    EXPECT_TRUE(bare.userInfo().at("NSLocalizedFailureReason").isNull());
    EXPECT_TRUE(bare.userInfo().at("NSLocalizedRecoverySuggestion").isNull());
    EXPECT_EQ(bare.failureReason(), std::nullopt);
}

}  // namespace
