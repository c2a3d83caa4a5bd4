// TouchID over the fprintd context, against a fake fprintd (the dbusmock
// template Tests/Support/fprintd_template.py) on a private system bus.
#include "Authentication/AuthenticationPromptPresenter.hpp"
#include "Authentication/FprintdAuthenticationContext.hpp"
#include "Authentication/TouchID.hpp"
#include "Platform/Authentication/LAError.hpp"
#include "Support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

using namespace std::chrono_literals;
using orvane::FprintdConfiguration;
using orvane::LAErrorCode;
using orvane::TouchID;
using orvane::TouchIDError;
using orvane::TouchIDErrorCase;
using orvane::TouchIDState;

namespace {

using Outcome = orvane::Result<void, TouchIDError>;

pid_t spawn(const std::vector<std::string>& arguments, int standardOutput) {
    std::vector<char*> argv;
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, standardOutput, STDOUT_FILENO);
    pid_t child = -1;
    const int status = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return status == 0 ? child : -1;
}

void stop(pid_t& child) {
    if (child > 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        child = -1;
    }
}

// busCall: one call through `gdbus` (an independent client) on the private
// bus; its printed reply, "" on failure.
std::string busCall(const std::string& address, const std::string& arguments) {
    const std::string command = "gdbus call -a '" + address + "' " + arguments + " 2>/dev/null";
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            output.append(buffer, n);
        }
        ::pclose(pipe);
    }
    return output;
}

const std::string onBus = "-d org.freedesktop.DBus -o /org/freedesktop/DBus -m org.freedesktop.DBus.";

bool serviceOwned(const std::string& address) {
    return busCall(address, onBus + "NameHasOwner net.reactivated.Fprint").starts_with("(true,)");
}

// The device methods the fake service saw, in order (from dbusmock's call log).
std::vector<std::string> deviceCalls(const std::string& address) {
    const std::string log = busCall(address, "-d net.reactivated.Fprint -o /net/reactivated/Fprint/Device/0 "
                                             "-m org.freedesktop.DBus.Mock.GetCalls");
    std::vector<std::string> names;
    const std::regex call(R"(\((?:uint64 )?\d+, '([A-Za-z]+)')");
    for (auto match = std::sregex_iterator(log.begin(), log.end(), call); match != std::sregex_iterator(); ++match) {
        names.push_back((*match)[1]);
    }
    return names;
}

class FprintdTouchIDIntegrationTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new testsupport::TemporaryFolder();
        std::filesystem::create_directory(folder_->path() / "services");
        const std::string config = folder_->path().string() + "/bus.conf";
        std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\""
                                 " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                 "<busconfig><type>system</type><listen>unix:dir="
                              << folder_->path().string() << "</listen><servicedir>" << folder_->path().string()
                              << "/services</servicedir><auth>EXTERNAL</auth><policy context=\"default\">"
                                 "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                                 "<allow own=\"*\"/></policy></busconfig>\n";
        int addressPipe[2];
        ASSERT_EQ(::pipe2(addressPipe, O_CLOEXEC), 0);
        bus_ = spawn({"dbus-daemon", "--nofork", "--nopidfile", "--config-file=" + config, "--print-address=1"},
                     addressPipe[1]);
        ::close(addressPipe[1]);
        ASSERT_GT(bus_, 0) << "dbus-daemon could not be started";
        std::string address;
        char byte = 0;
        while (::read(addressPipe[0], &byte, 1) == 1 && byte != '\n') {
            address += byte;
        }
        ::close(addressPipe[0]);
        ASSERT_FALSE(address.empty());
        address_ = new std::string(address);
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    }

    static void TearDownTestSuite() {
        stop(bus_);
        delete address_;
        delete folder_;
        ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }

    void TearDown() override {
        orvane::setAuthenticationPromptPresenter(nullptr);
        stop(mock_);
    }

    // startService: (re)starts the fake fprintd with these JSON parameters.
    void startService(const std::string& parameters) {
        stop(mock_);
        const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        mock_ = spawn({"/usr/bin/python3", "-m", "dbusmock", "--system", "--template", ORVANE_FPRINTD_TEMPLATE, "-p",
                       parameters},
                      quiet);
        ::close(quiet);
        ASSERT_GT(mock_, 0);
        for (int attempt = 0; attempt < 300 && !serviceOwned(*address_); ++attempt) {
            ASSERT_EQ(::waitpid(mock_, nullptr, WNOHANG), 0) << "the fake fprintd exited";
            std::this_thread::sleep_for(50ms);
        }
        ASSERT_TRUE(serviceOwned(*address_)) << "the fake fprintd did not appear";
    }

    static std::shared_ptr<TouchID> touchIDWith(FprintdConfiguration configuration) {
        return TouchID::create(orvane::FprintdAuthenticationPlatform::create(configuration));
    }

    struct Authorization {
        std::optional<Outcome> outcome;
        bool repliedOnCallingThread = false;
    };

    static Authorization authorize(TouchID& touchID) {
        auto promise = std::make_shared<std::promise<Outcome>>();
        auto future = promise->get_future();
        const auto caller = std::this_thread::get_id();
        auto onCaller = std::make_shared<bool>(false);
        touchID.authorize("Unlock the vault", "Use password", [promise, caller, onCaller](Outcome outcome) {
            *onCaller = std::this_thread::get_id() == caller;
            promise->set_value(std::move(outcome));
        });
        Authorization result;
        if (future.wait_for(60s) == std::future_status::ready) {
            result.outcome = future.get();
            result.repliedOnCallingThread = *onCaller;
        }
        return result;
    }

    // The LAError code of an underlyingError, 0 for success, the case otherwise.
    static std::string described(const Authorization& authorization) {
        if (!authorization.outcome) {
            return "no reply";
        }
        const auto error = authorization.outcome->error();
        if (!error) {
            return "success";
        }
        if (error->errorCase() == TouchIDErrorCase::underlyingError) {
            return "underlying " + std::to_string(error->underlying()->code());
        }
        return "case " + std::to_string(static_cast<int>(error->errorCase()));
    }

    static inline testsupport::TemporaryFolder* folder_ = nullptr;
    static inline std::string* address_ = nullptr;
    static inline pid_t bus_ = -1;
    pid_t mock_ = -1;
};

TEST_F(FprintdTouchIDIntegrationTest, stateFollowsTheService) {
    const auto touchID = touchIDWith({.callTimeout = 5s});
    EXPECT_EQ(touchID->state(), TouchIDState::systemNotSupported);  // nobody owns the name

    // Activatable counts as offered; here activation cannot start it, so there is no reader.
    const auto serviceFile = folder_->path() / "services" / "net.reactivated.Fprint.service";
    std::ofstream(serviceFile) << "[D-BUS Service]\nName=net.reactivated.Fprint\nExec=/bin/false\nUser=root\n";
    busCall(*address_, onBus + "ReloadConfig");
    EXPECT_EQ(touchID->state(), TouchIDState::hardwareUnavailable);
    std::filesystem::remove(serviceFile);
    busCall(*address_, onBus + "ReloadConfig");

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

    const char* saved = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    const std::string address = saved;
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + folder_->path().string() + "/no-bus-here").c_str(), 1);
    EXPECT_EQ(touchID->state(), TouchIDState::systemNotSupported);
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
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
        EXPECT_EQ(described(authorization), row.expected);
        EXPECT_EQ(deviceCalls(*address_), row.deviceCalls);
        if (row.deviceCalls.size() > 1) {
            EXPECT_FALSE(authorization.repliedOnCallingThread);
        }
    }

    // No finger before the (short) timeout.
    startService(R"({"verify": [[]]})");
    EXPECT_EQ(described(authorize(*touchIDWith({.callTimeout = 5s, .verifyTimeout = 1s}))), "underlying -4");
    EXPECT_EQ(deviceCalls(*address_), once);
}

TEST_F(FprintdTouchIDIntegrationTest, lockoutAfterFiveFailuresUntilTheCoolDownPasses) {
    const FprintdConfiguration configuration{
        .callTimeout = 5s, .verifyTimeout = 10s, .lockoutThreshold = 5, .lockoutCoolDown = 4s};
    const auto touchID = touchIDWith(configuration);
    startService(R"({})");
    ASSERT_EQ(described(authorize(*touchID)), "success");  // a match starts the count afresh

    startService(R"({"verify": [["verify-no-match"]]})");
    EXPECT_EQ(described(authorize(*touchID)), "underlying -1");  // three failures
    EXPECT_EQ(touchID->state(), TouchIDState::ok);
    EXPECT_EQ(described(authorize(*touchID)), "case 2");  // the fifth locks out mid-authorization
    EXPECT_EQ(touchID->state(), TouchIDState::hardwareLockout);
    EXPECT_FALSE(touchID->isEnabled());
    const auto refused = authorize(*touchID);
    EXPECT_EQ(described(refused), "case 2");
    EXPECT_TRUE(refused.repliedOnCallingThread);

    auto state = touchID->state();
    for (int attempt = 0; attempt < 600 && state == TouchIDState::hardwareLockout; ++attempt) {
        std::this_thread::sleep_for(50ms);
        state = touchID->state();
    }
    EXPECT_EQ(state, TouchIDState::ok);
    // The count started again: three more failures are not a lockout.
    EXPECT_EQ(described(authorize(*touchID)), "underlying -1");
    startService(R"({})");
    EXPECT_EQ(described(authorize(*touchID)), "success");
}

// A presenter that acts the moment the prompt is shown.
struct ActingPresenter : orvane::AuthenticationPromptPresenter {
    std::function<void(std::function<void()>)> onShow;
    std::atomic<int> shown{0};
    std::atomic<int> dismissed{0};
    std::string reason;
    void show(const orvane::AuthenticationPrompt& prompt, std::function<void()> cancel) override {
        reason = prompt.localizedReason;
        ++shown;
        onShow(std::move(cancel));
    }
    void dismiss() override { ++dismissed; }
};

TEST_F(FprintdTouchIDIntegrationTest, cancelThroughThePromptAndServiceLeavingEndTheEvaluation) {
    const auto touchID = touchIDWith({.callTimeout = 5s, .verifyTimeout = 30s});
    auto presenter = std::make_shared<ActingPresenter>();
    orvane::setAuthenticationPromptPresenter(presenter);

    startService(R"({"verify": [[]]})");
    presenter->onShow = [](std::function<void()> cancel) { cancel(); };
    EXPECT_EQ(described(authorize(*touchID)), "underlying -2");
    EXPECT_EQ(presenter->reason, "Unlock the vault");
    EXPECT_EQ(deviceCalls(*address_).back(), "Release");

    startService(R"({"verify": [[]]})");
    presenter->onShow = [mock = mock_](std::function<void()>) { ::kill(mock, SIGKILL); };
    EXPECT_EQ(described(authorize(*touchID)), "underlying -4");
    EXPECT_EQ(presenter->shown.load(), 2);
    EXPECT_EQ(presenter->dismissed.load(), 2);
}

TEST_F(FprintdTouchIDIntegrationTest, aHangingServiceCostsAtMostTheBound) {
    startService(R"({"hang": 30})");
    const auto touchID = touchIDWith({.callTimeout = 1500ms});
    // Answers (instead of waiting for the service) and says the reader is unavailable.
    EXPECT_EQ(touchID->state(), TouchIDState::hardwareUnavailable);
    EXPECT_EQ(described(authorize(*touchID)), "case 0");
}

}  // namespace
