#include "Authentication/TouchID.hpp"
#include "Platform/Authentication/LAError.hpp"
#include "Platform/Foundation/ErrorKeys.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace orvane;

namespace {

using Outcome = Result<void, TouchIDError>;

// A platform whose answers the test sets, and whose evaluations wait until
// the test completes them.
struct ScriptedPlatform : LAAuthenticationPlatform {
    struct Evaluation {
        std::string reason;
        std::string fallbackTitle;
        LAContext::Reply reply;
    };

    bool offersService = true;
    std::optional<NSError> canEvaluateError;
    int contextsMade = 0;
    std::vector<Evaluation> evaluations;

    struct Context : LAContext {
        explicit Context(ScriptedPlatform& owner) : platform(owner) {}
        std::optional<NSError> canEvaluatePolicy(LAPolicy) override { return platform.canEvaluateError; }
        void setLocalizedFallbackTitle(std::string title) override { fallbackTitle = std::move(title); }
        void evaluatePolicy(LAPolicy, std::string reason, Reply reply) override {
            platform.evaluations.push_back({std::move(reason), fallbackTitle, std::move(reply)});
        }
        ScriptedPlatform& platform;
        std::string fallbackTitle;
    };

    bool systemOffersService() override { return offersService; }
    std::unique_ptr<LAContext> makeContext() override {
        ++contextsMade;
        return std::make_unique<Context>(*this);
    }

    // complete: runs the completion of evaluation `index` as the platform would.
    void complete(std::size_t index, bool success, std::optional<NSError> error) {
        auto reply = std::move(evaluations.at(index).reply);
        reply(success, std::move(error));
    }
};

// Collects every reply of one authorize call.
struct Replies {
    std::vector<Outcome> received;
    TouchIDProxy::Reply collector() {
        return [this](Outcome outcome) { received.push_back(std::move(outcome)); };
    }
    TouchIDErrorCase onlyFailure() const {
        EXPECT_EQ(received.size(), 1U);
        EXPECT_TRUE(!received.empty() && received.front().isFailure());
        return received.empty() || received.front().isSuccess() ? TouchIDErrorCase::unknownError
                                                               : received.front().error()->errorCase();
    }
};

struct TouchIDTest : ::testing::Test {
    std::shared_ptr<ScriptedPlatform> platform = std::make_shared<ScriptedPlatform>();
    std::shared_ptr<TouchID> touchID = TouchID::create(platform);
    // A completion that never ran still holds its TouchID, which holds the platform.
    void TearDown() override { platform->evaluations.clear(); }
};

TEST_F(TouchIDTest, policyCheckDecidesStateEnabledAndImmediateReply) {
    struct Row {
        bool offersService;
        std::optional<LAErrorCode> error;
        TouchIDState state;
        std::optional<TouchIDErrorCase> failure;
    };
    const Row rows[] = {
        {true, std::nullopt, TouchIDState::ok, std::nullopt},
        {false, std::nullopt, TouchIDState::systemNotSupported, TouchIDErrorCase::systemNotSupported},
        {true, LAErrorCode::biometryNotAvailable, TouchIDState::hardwareUnavailable,
         TouchIDErrorCase::hardwareUnavailable},
        {true, LAErrorCode::biometryNotEnrolled, TouchIDState::hardwareNotConfigured,
         TouchIDErrorCase::hardwareNotConfigured},
        {true, LAErrorCode::biometryLockout, TouchIDState::hardwareLockout, TouchIDErrorCase::hardwareLockout},
        {true, LAErrorCode::notInteractive, TouchIDState::unknown, TouchIDErrorCase::underlyingError},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.state.rawValue()));
        platform->offersService = row.offersService;
        platform->canEvaluateError = row.error ? std::optional<NSError>(LAError(*row.error)) : std::nullopt;
        platform->contextsMade = 0;
        EXPECT_EQ(touchID->state(), row.state);
        EXPECT_EQ(touchID->isEnabled(), !row.failure.has_value());
        // Without the service no context is made at all.
        EXPECT_EQ(platform->contextsMade, row.offersService ? 2 : 0);
        if (!row.failure) {
            continue;
        }
        Replies replies;
        touchID->authorize("reason", "fallback", replies.collector());
        EXPECT_EQ(replies.onlyFailure(), *row.failure);
        EXPECT_TRUE(platform->evaluations.empty());
        if (*row.failure == TouchIDErrorCase::underlyingError) {
            EXPECT_EQ(replies.received.front().error()->underlying()->code(), static_cast<int>(*row.error));
        }
    }
    // None of the refusals left the flag set.
    platform->offersService = true;
    platform->canEvaluateError.reset();
    Replies accepted;
    touchID->authorize("reason", "fallback", accepted.collector());
    EXPECT_TRUE(accepted.received.empty());
    EXPECT_EQ(platform->evaluations.size(), 1U);
}

TEST_F(TouchIDTest, completionIsReducedToOneReply) {
    struct Row {
        bool success;
        std::optional<LAErrorCode> error;
        std::optional<TouchIDErrorCase> failure;
    };
    const Row rows[] = {
        {true, std::nullopt, std::nullopt},
        {false, std::nullopt, TouchIDErrorCase::unknownError},
        {false, LAErrorCode::userCancel, TouchIDErrorCase::underlyingError},
        {false, LAErrorCode::systemCancel, TouchIDErrorCase::underlyingError},
        {false, LAErrorCode::biometryLockout, TouchIDErrorCase::hardwareLockout},
        {true, LAErrorCode::biometryNotEnrolled, TouchIDErrorCase::hardwareNotConfigured},  // the error wins
    };
    for (std::size_t index = 0; index < std::size(rows); ++index) {
        const Row& row = rows[index];
        SCOPED_TRACE(index);
        Replies replies;
        touchID->authorize("Unlock the vault", "Use password", replies.collector());
        ASSERT_EQ(platform->evaluations.size(), index + 1);
        EXPECT_EQ(platform->evaluations.back().reason, "Unlock the vault");
        EXPECT_EQ(platform->evaluations.back().fallbackTitle, "Use password");
        EXPECT_TRUE(replies.received.empty());
        platform->complete(index, row.success, row.error ? std::optional<NSError>(LAError(*row.error)) : std::nullopt);
        if (!row.failure) {
            ASSERT_EQ(replies.received.size(), 1U);
            EXPECT_TRUE(replies.received.front().isSuccess());
            continue;
        }
        EXPECT_EQ(replies.onlyFailure(), *row.failure);
        if (*row.failure == TouchIDErrorCase::underlyingError) {
            const auto underlying = replies.received.front().error()->underlying();
            EXPECT_EQ(underlying->domain(), LAErrorDomain);
            EXPECT_EQ(underlying->code(), static_cast<int>(*row.error));
        }
    }
}

TEST_F(TouchIDTest, secondAuthorizeWhileRunningIsPendingAndFirstStillRepliesOnce) {
    Replies first;
    Replies second;
    touchID->authorize("first", "", first.collector());
    touchID->authorize("second", "", second.collector());
    EXPECT_EQ(second.onlyFailure(), TouchIDErrorCase::pendingAuthorization);
    EXPECT_EQ(platform->evaluations.size(), 1U);
    EXPECT_TRUE(first.received.empty());

    platform->complete(0, true, std::nullopt);
    ASSERT_EQ(first.received.size(), 1U);
    EXPECT_TRUE(first.received.front().isSuccess());

    Replies third;
    touchID->authorize("third", "", third.collector());
    EXPECT_TRUE(third.received.empty());
    EXPECT_EQ(platform->evaluations.size(), 2U);
}

TEST_F(TouchIDTest, lockoutDuringARunningAuthorizationWinsOverPending) {
    Replies first;
    touchID->authorize("first", "", first.collector());
    platform->canEvaluateError = LAError(LAErrorCode::biometryLockout);
    Replies second;
    touchID->authorize("second", "", second.collector());
    EXPECT_EQ(second.onlyFailure(), TouchIDErrorCase::hardwareLockout);
    EXPECT_EQ(touchID->state(), TouchIDState::hardwareLockout);
    EXPECT_FALSE(touchID->isEnabled());
}

TEST_F(TouchIDTest, replyMayAuthorizeAgainAndCompletionKeepsTouchIDAlive) {
    std::weak_ptr<TouchID> watched = touchID;
    Replies again;
    int firstReplies = 0;
    touchID->authorize("first", "", [&, self = touchID.get()](Outcome) {
        ++firstReplies;
        self->authorize("again", "", again.collector());
    });
    touchID.reset();
    EXPECT_FALSE(watched.expired());

    platform->complete(0, false, LAError(LAErrorCode::userCancel));
    EXPECT_EQ(firstReplies, 1);
    // The flag was cleared before the reply ran, so the nested call was accepted.
    EXPECT_TRUE(again.received.empty());
    ASSERT_EQ(platform->evaluations.size(), 2U);
    EXPECT_FALSE(watched.expired());
    platform->complete(1, true, std::nullopt);
    platform->evaluations.clear();
    EXPECT_TRUE(watched.expired());
}

TEST(TouchIDErrorTests, bridgingRoundTripsEveryCase) {
    const NSError cause = LAError(LAErrorCode::userCancel, "Cancelled");
    const TouchIDError errors[] = {
        TouchIDError(TouchIDErrorCase::hardwareUnavailable),  TouchIDError(TouchIDErrorCase::hardwareNotConfigured),
        TouchIDError(TouchIDErrorCase::hardwareLockout),      TouchIDError(TouchIDErrorCase::systemNotSupported),
        TouchIDError(TouchIDErrorCase::pendingAuthorization), TouchIDError::underlyingError(cause),
        TouchIDError(TouchIDErrorCase::unknownError),
    };
    for (std::size_t code = 0; code < std::size(errors); ++code) {
        const NSError bridged = errors[code].toNSError();
        EXPECT_EQ(bridged.domain(), "TarvelOrvane.TouchIDError");
        EXPECT_EQ(bridged.code(), static_cast<std::int64_t>(code));
        EXPECT_EQ(bridged.userInfo().size(), code == 5 ? 1U : 0U);
        const auto back = TouchIDError::fromNSError(bridged);
        ASSERT_TRUE(back.has_value()) << code;
        EXPECT_EQ(*back, errors[code]);
    }
    EXPECT_EQ(*TouchIDError::fromNSError(errors[5].toNSError())->underlying(), cause);
}

TEST(TouchIDErrorTests, fromNSErrorGivesNothingForWhatItCannotRead) {
    const std::string domain = "TarvelOrvane.TouchIDError";
    const NSError unreadable[] = {
        NSError("TarvelOrvane.KeychainFetchError", 0),
        NSError(domain, 7),
        NSError(domain, -1),
        NSError(domain, 5),
        NSError(domain, 5, {{"other", Object(std::make_shared<NSError>(domain, 0))}}),
        NSError(domain, 5, {{std::string(NSUnderlyingErrorKey), Object("not an error")}}),
    };
    for (const NSError& error : unreadable) {
        EXPECT_FALSE(TouchIDError::fromNSError(error).has_value()) << error.description();
    }
}

TEST(TouchIDStateTests, rawValuesRoundTripAndAreCaseSensitive) {
    for (const TouchIDState state : {TouchIDState::ok, TouchIDState::hardwareUnavailable, TouchIDState::hardwareLockout,
                             TouchIDState::hardwareNotConfigured, TouchIDState::systemNotSupported,
                             TouchIDState::unknown}) {
        EXPECT_EQ(TouchIDState::fromRawValue(state.rawValue()), state);
    }
    EXPECT_EQ(TouchIDState::fromRawValue("hardwareLockout"), TouchIDState::hardwareLockout);
    for (const char* text : {"HardwareLockout", "hardwarelockout", "OK", "Ok", "", "ok ", "unknownError"}) {
        EXPECT_FALSE(TouchIDState::fromRawValue(text).has_value()) << text;
    }
}

TEST(TouchIDStateTests, pendingUnderlyingAndUnknownFailuresAreUnknown) {
    using PolicyResult = Result<LAPolicy, TouchIDError>;
    for (const auto& error : {TouchIDError(TouchIDErrorCase::pendingAuthorization),
                              TouchIDError(TouchIDErrorCase::unknownError),
                              TouchIDError::underlyingError(LAError(LAErrorCode::userCancel))}) {
        EXPECT_EQ(TouchIDState::fromResult(PolicyResult::failure(error)), TouchIDState::unknown);
    }
}

}  // namespace
