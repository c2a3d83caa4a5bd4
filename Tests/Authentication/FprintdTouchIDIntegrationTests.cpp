// TouchID over the fprintd context, against a fake fprintd (the dbusmock
// template Tests/Support/fprintd_template.py) on a private system bus.
#include "Authentication/AuthenticationPromptPresenter.hpp"
#include "Authentication/FprintdAuthenticationContext.hpp"
#include "Authentication/TouchID.hpp"
#include "Platform/Authentication/LAError.hpp"
#include "Support/PrivateBus.hpp"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using namespace orvane;
using testsupport::ChildProcess;
using testsupport::PrivateBus;

namespace {

using Outcome = Result<void, TouchIDError>;

constexpr const char* fprintdName = "net.reactivated.Fprint";

class FprintdTouchIDIntegrationTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        bus_ = new PrivateBus(PrivateBus::Kind::system);
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", bus_->address().c_str(), 1);
    }

    static void TearDownTestSuite() {
        delete bus_;
        ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }

    void SetUp() override { ASSERT_FALSE(bus_->address().empty()) << "dbus-daemon could not be started"; }

    void TearDown() override {
        setAuthenticationPromptPresenter(nullptr);
        mock_.reset();
    }

    // The device methods the fake service saw, in order (from dbusmock's call log).
    static std::vector<std::string> deviceCalls() {
        const std::string log =
            bus_->call(fprintdName, "/net/reactivated/Fprint/Device/0", "org.freedesktop.DBus.Mock.GetCalls");
        std::vector<std::string> names;
        const std::regex call(R"(\((?:uint64 )?\d+, '([A-Za-z]+)')");
        for (auto match = std::sregex_iterator(log.begin(), log.end(), call); match != std::sregex_iterator();
             ++match) {
            names.push_back((*match)[1]);
        }
        return names;
    }

    // startService: (re)starts the fake fprintd with these JSON parameters.
    void startService(const std::string& parameters) {
        mock_.reset();
        mock_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/bin/python3", "-m", "dbusmock", "--system", "--template",
                                     ORVANE_FPRINTD_TEMPLATE, "-p", parameters},
            std::vector<std::string>{}, ChildProcess::Output::discard);
        ASSERT_TRUE(bus_->waitForOwner(fprintdName)) << "the fake fprintd did not appear";
    }

    static std::shared_ptr<TouchID> touchIDWith(FprintdConfiguration configuration) {
        return TouchID::create(FprintdAuthenticationPlatform::create(configuration));
    }

    struct Authorization {
        // "success", "underlying <LAError code>", "case <TouchIDErrorCase>", or "no reply".
        std::string outcome;
        bool repliedOnCallingThread = false;
    };

    static Authorization authorize(TouchID& touchID) {
        auto promise = std::make_shared<std::promise<Authorization>>();
        auto future = promise->get_future();
        const auto caller = std::this_thread::get_id();
        touchID.authorize("Unlock the vault", "Use password", [promise, caller](Outcome outcome) {
            const auto error = outcome.error();
            promise->set_value({!error ? "success"
                                : error->errorCase() == TouchIDErrorCase::underlyingError
                                    ? "underlying " + std::to_string(error->underlying()->code())
                                    : "case " + std::to_string(static_cast<int>(error->errorCase())),
                                std::this_thread::get_id() == caller});
        });
        if (future.wait_for(60s) != std::future_status::ready) {
            return {"no reply"};
        }
        return future.get();
    }

    static inline PrivateBus* bus_ = nullptr;
    std::unique_ptr<ChildProcess> mock_;
};

TEST_F(FprintdTouchIDIntegrationTest, stateFollowsTheService) {
    const auto touchID = touchIDWith({.callTimeout = 5s});
    EXPECT_EQ(touchID->state(), TouchIDState::systemNotSupported);  // nobody owns the name

    // Activatable counts as offered; here activation cannot start it, so there is no reader.
    const auto serviceFile = bus_->serviceFolder() / "net.reactivated.Fprint.service";
    std::ofstream(serviceFile) << "[D-BUS Service]\nName=net.reactivated.Fprint\nExec=/bin/false\nUser=root\n";
    bus_->reloadConfiguration();
    EXPECT_EQ(touchID->state(), TouchIDState::hardwareUnavailable);
    std::filesystem::remove(serviceFile);
    bus_->reloadConfiguration();

    const std::pair<const char*, TouchIDState> rows[] = {
        {R"({})", TouchIDState::ok},
        {R"({"device": false})", TouchIDState::hardwareUnavailable},
        {R"({"enrolled": []})", TouchIDState::hardwareNotConfigured},
    };
    for (const auto& [parameters, state] : rows) {
        SCOPED_TRACE(parameters);
        startService(parameters);
        EXPECT_EQ(touchID->state(), state);
        EXPECT_EQ(touchID->isEnabled(), state == TouchIDState::ok);
    }

    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/orvane-no-bus-here", 1);
    EXPECT_EQ(touchID->state(), TouchIDState::systemNotSupported);
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", bus_->address().c_str(), 1);
}

TEST_F(FprintdTouchIDIntegrationTest, authorizeOutcomesAndReleaseOnEveryPath) {
    struct Row {
        const char* parameters;
        std::string expected;
        std::vector<std::string> deviceCalls;
    };
    const std::vector<std::string> once = {"ListEnrolledFingers", "Claim", "VerifyStart", "VerifyStop", "Release"};
    const Row rows[] = {
        {R"({})", "success", once},
        {R"({"verify": [["verify-retry-scan", "verify-swipe-too-short", "verify-remove-and-retry", "verify-match"]]})",
         "success", once},
        {R"({"verify": [["verify-no-match"]]})", "underlying -1",
         {"ListEnrolledFingers", "Claim", "VerifyStart", "VerifyStop", "VerifyStart", "VerifyStop", "VerifyStart",
          "VerifyStop", "Release"}},
        {R"({"verify": [["verify-no-match"], ["verify-retry-scan", "verify-match"]]})", "success",
         {"ListEnrolledFingers", "Claim", "VerifyStart", "VerifyStop", "VerifyStart", "VerifyStop", "Release"}},
        {R"({"verify": [["verify-disconnected"]]})", "underlying -4", once},
        {R"({"verify": [["verify-unknown-error"]]})", "underlying -4", once},
        {R"({"claim_error": "AlreadyInUse"})", "underlying -4", {"ListEnrolledFingers", "Claim"}},
        {R"({"claim_error": "PermissionDenied"})", "underlying -11", {"ListEnrolledFingers", "Claim"}},
        {R"({"enrolled": []})", "case 1", {"ListEnrolledFingers"}},
    };
    const auto touchID = touchIDWith({.callTimeout = 5s, .verifyTimeout = 20s, .lockoutThreshold = 1000});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.parameters);
        startService(row.parameters);
        const auto authorization = authorize(*touchID);
        EXPECT_EQ(authorization.outcome, row.expected);
        EXPECT_EQ(deviceCalls(), row.deviceCalls);
        if (row.deviceCalls.size() > 1) {
            EXPECT_FALSE(authorization.repliedOnCallingThread);
        }
    }

    // No finger before the (short) timeout.
    startService(R"({"verify": [[]]})");
    EXPECT_EQ(authorize(*touchIDWith({.callTimeout = 5s, .verifyTimeout = 1s})).outcome, "underlying -4");
    EXPECT_EQ(deviceCalls(), once);
}

TEST_F(FprintdTouchIDIntegrationTest, lockoutAfterFiveFailuresUntilTheCoolDownPasses) {
    const FprintdConfiguration configuration{
        .callTimeout = 5s, .verifyTimeout = 10s, .lockoutThreshold = 5, .lockoutCoolDown = 4s};
    const auto touchID = touchIDWith(configuration);
    startService(R"({})");
    ASSERT_EQ(authorize(*touchID).outcome, "success");  // a match starts the count afresh

    startService(R"({"verify": [["verify-no-match"]]})");
    EXPECT_EQ(authorize(*touchID).outcome, "underlying -1");  // three failures
    EXPECT_EQ(touchID->state(), TouchIDState::ok);
    EXPECT_EQ(authorize(*touchID).outcome, "case 2");  // the fifth locks out mid-authorization
    EXPECT_EQ(touchID->state(), TouchIDState::hardwareLockout);
    EXPECT_FALSE(touchID->isEnabled());
    const auto refused = authorize(*touchID);
    EXPECT_EQ(refused.outcome, "case 2");
    EXPECT_TRUE(refused.repliedOnCallingThread);

    auto state = touchID->state();
    for (int attempt = 0; attempt < 600 && state == TouchIDState::hardwareLockout; ++attempt) {
        std::this_thread::sleep_for(50ms);
        state = touchID->state();
    }
    EXPECT_EQ(state, TouchIDState::ok);
    // The count started again: three more failures are not a lockout.
    EXPECT_EQ(authorize(*touchID).outcome, "underlying -1");
    startService(R"({})");
    EXPECT_EQ(authorize(*touchID).outcome, "success");
}

// A presenter that acts the moment the prompt is shown.
struct ActingPresenter : AuthenticationPromptPresenter {
    std::function<void(std::function<void()>)> onShow;
    std::atomic<int> shown{0};
    std::atomic<int> dismissed{0};
    std::string reason;
    void show(const AuthenticationPrompt& prompt, std::function<void()> cancel) override {
        reason = prompt.localizedReason;
        ++shown;
        onShow(std::move(cancel));
    }
    void dismiss() override { ++dismissed; }
};

TEST_F(FprintdTouchIDIntegrationTest, cancelThroughThePromptAndServiceLeavingEndTheEvaluation) {
    const auto touchID = touchIDWith({.callTimeout = 5s, .verifyTimeout = 30s});
    auto presenter = std::make_shared<ActingPresenter>();
    setAuthenticationPromptPresenter(presenter);

    startService(R"({"verify": [[]]})");
    presenter->onShow = [](std::function<void()> cancel) { cancel(); };
    EXPECT_EQ(authorize(*touchID).outcome, "underlying -2");
    EXPECT_EQ(presenter->reason, "Unlock the vault");
    EXPECT_EQ(deviceCalls().back(), "Release");

    startService(R"({"verify": [[]]})");
    presenter->onShow = [mock = mock_->pid()](std::function<void()>) { ::kill(mock, SIGKILL); };
    EXPECT_EQ(authorize(*touchID).outcome, "underlying -4");
    EXPECT_EQ(presenter->shown.load(), 2);
    EXPECT_EQ(presenter->dismissed.load(), 2);
}

TEST_F(FprintdTouchIDIntegrationTest, aHangingServiceCostsAtMostTheBound) {
    startService(R"({"hang": 30})");
    const auto touchID = touchIDWith({.callTimeout = 1500ms});
    // Answers (instead of waiting for the service) and says the reader is unavailable.
    EXPECT_EQ(touchID->state(), TouchIDState::hardwareUnavailable);
    EXPECT_EQ(authorize(*touchID).outcome, "case 0");
}

}  // namespace
