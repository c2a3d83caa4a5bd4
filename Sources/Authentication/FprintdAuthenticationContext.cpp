#include "Authentication/FprintdAuthenticationContext.hpp"

#include "Authentication/AuthenticationPromptPresenter.hpp"
#include "Authentication/TouchID.hpp"
#include "Platform/Authentication/LAError.hpp"
#include "Platform/Dispatch/DispatchQueue.hpp"
#include "Platform/GLib/BoundedWait.hpp"
#include "Platform/GLib/BusConnection.hpp"
#include "Platform/GLib/SignalSubscription.hpp"

#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace orvane {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* fprintdName = "net.reactivated.Fprint";
constexpr const char* managerPath = "/net/reactivated/Fprint/Manager";
constexpr const char* managerInterface = "net.reactivated.Fprint.Manager";
constexpr const char* deviceInterface = "net.reactivated.Fprint.Device";
constexpr std::string_view fprintdErrorPrefix = "net.reactivated.Fprint.Error.";

// --- The process-wide lockout -------------------------------------------------

class Lockout {
public:
    bool active(const FprintdConfiguration& configuration) {
        const std::lock_guard lock(mutex_);
        return activeLocked(configuration);
    }

    // recordFailure: counts one no-match; true when that locks the reader out.
    bool recordFailure(const FprintdConfiguration& configuration) {
        const std::lock_guard lock(mutex_);
        if (activeLocked(configuration)) {
            return true;
        }
        if (++failures_ >= configuration.lockoutThreshold) {
            lockedUntil_ = Clock::now() + configuration.lockoutCoolDown;
            return true;
        }
        return false;
    }

    void recordMatch() {
        const std::lock_guard lock(mutex_);
        failures_ = 0;
        lockedUntil_.reset();
    }

private:
    bool activeLocked(const FprintdConfiguration&) {
        if (!lockedUntil_) {
            return false;
        }
        if (Clock::now() < *lockedUntil_) {
            return true;
        }
        failures_ = 0;
        lockedUntil_.reset();
        return false;
    }

    std::mutex mutex_;
    int failures_ = 0;                            // guarded by mutex_
    std::optional<Clock::time_point> lockedUntil_;  // guarded by mutex_
};

// Never destroyed: an evaluation may still be running on a worker while the process exits.
Lockout& lockout() {
    static auto* shared = new Lockout();
    return *shared;
}

// --- The shared system-bus connection -----------------------------------------

// The process's system-bus connection; never destroyed, like the lockout.
struct SharedBus {
    std::mutex mutex;
    std::string address;                           // guarded by mutex
    glib::ObjectPtr<GDBusConnection> connection;  // guarded by mutex
};

SharedBus& sharedBus() {
    static auto* shared = new SharedBus();
    return *shared;
}

glib::ObjectPtr<GDBusConnection> referenced(GDBusConnection* connection) {
    return glib::ObjectPtr<GDBusConnection>(G_DBUS_CONNECTION(g_object_ref(connection)));
}

// systemBus: the process's connection to the system bus, opened (within
// `deadline`) when there is none or it closed; null when it cannot be had.
glib::ObjectPtr<GDBusConnection> systemBus(GMainContext* context, Clock::time_point deadline) {
    const auto address = glib::busAddress(glib::Bus::system);
    if (!address) {
        return nullptr;
    }
    SharedBus& shared = sharedBus();
    {
        const std::lock_guard lock(shared.mutex);
        if (shared.connection && shared.address == *address && !g_dbus_connection_is_closed(shared.connection.get())) {
            return referenced(shared.connection.get());
        }
    }
    glib::BoundedWait wait(context, deadline);
    GError* rawError = nullptr;
    auto connection = glib::openBusConnection(*address, wait, &rawError);
    const glib::ErrorPtr error(rawError);
    if (!connection) {
        return nullptr;
    }
    glib::ObjectPtr<GDBusConnection> replaced;
    {
        const std::lock_guard lock(shared.mutex);
        shared.address = *address;
        replaced = std::exchange(shared.connection, referenced(connection.get()));
    }
    return connection;
}

// --- Calls --------------------------------------------------------------------

struct CallOutcome {
    glib::VariantPtr reply;
    glib::ErrorPtr error;
    bool timedOut = false;

    // The fprintd error name without its prefix ("NoSuchDevice"), or "".
    std::string fprintdError() const {
        if (!error) {
            return {};
        }
        const glib::StringPtr remote(g_dbus_error_get_remote_error(error.get()));
        if (!remote) {
            return {};
        }
        const std::string_view name(remote.get());
        return name.starts_with(fprintdErrorPrefix) ? std::string(name.substr(fprintdErrorPrefix.size())) : "";
    }
};

CallOutcome call(GDBusConnection* bus, GMainContext* context, Clock::time_point deadline, const char* destination,
                 const char* path, const char* interface, const char* method, GVariant* parameters,
                 const char* replyType) {
    CallOutcome outcome;
    glib::BoundedWait wait(context, deadline);
    auto done = wait.run([&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
        g_dbus_connection_call(bus, destination, path, interface, method, parameters,
                               replyType != nullptr ? G_VARIANT_TYPE(replyType) : nullptr, G_DBUS_CALL_FLAGS_NONE,
                               G_MAXINT, cancellable, callback, data);
    });
    if (!done) {
        outcome.timedOut = true;
        return outcome;
    }
    GError* rawError = nullptr;
    outcome.reply.reset(g_dbus_connection_call_finish(bus, done.get(), &rawError));
    outcome.error.reset(rawError);
    if (wait.expired() && !outcome.reply) {
        outcome.timedOut = true;
    }
    return outcome;
}

LAError laError(LAErrorCode code, std::string description) {
    return LAError(code, std::move(description));
}

// The error of a failed call; `otherwise` for what fprintd does not name.
LAError failure(const CallOutcome& outcome, LAErrorCode otherwise, const char* what) {
    const std::string name = outcome.fprintdError();
    if (name == "NoSuchDevice") {
        return laError(LAErrorCode::biometryNotAvailable, "No fingerprint reader is present");
    }
    if (name == "NoEnrolledPrints") {
        return laError(LAErrorCode::biometryNotEnrolled, "No fingerprint is enrolled");
    }
    if (name == "AlreadyInUse") {
        return laError(LAErrorCode::systemCancel, "The fingerprint reader is in use by another program");
    }
    if (name == "PermissionDenied") {
        return laError(LAErrorCode::notInteractive, "The fingerprint service refused this session");
    }
    std::string description = std::string("The fingerprint service ") +
                              (outcome.timedOut ? "did not answer in time" : "failed") + " (" + what;
    if (outcome.error && !outcome.timedOut) {
        description += std::string(": ") + outcome.error->message;
    }
    description += ")";
    return laError(otherwise, std::move(description));
}

// defaultDevice: the reader's object path, or the error saying why there is none.
std::optional<std::string> defaultDevice(GDBusConnection* bus, GMainContext* context, Clock::time_point deadline,
                                         std::optional<NSError>& error) {
    const auto outcome =
        call(bus, context, deadline, fprintdName, managerPath, managerInterface, "GetDefaultDevice", nullptr, "(o)");
    if (!outcome.reply) {
        error = failure(outcome, LAErrorCode::biometryNotAvailable, "GetDefaultDevice");
        return std::nullopt;
    }
    const gchar* path = nullptr;
    g_variant_get(outcome.reply.get(), "(&o)", &path);
    return std::string(path);
}

// --- The context ----------------------------------------------------------------

class CancelSwitch {
public:
    explicit CancelSwitch(GMainContext* context) : context_(g_main_context_ref(context)) {}

    void cancel() {
        const std::lock_guard lock(mutex_);
        if (!finished_) {
            cancelled_.store(true);
            g_main_context_wakeup(context_.get());
        }
    }
    void finish() {
        const std::lock_guard lock(mutex_);
        finished_ = true;
    }
    bool cancelled() const { return cancelled_.load(); }

private:
    std::mutex mutex_;
    glib::ContextPtr context_;
    bool finished_ = false;  // guarded by mutex_
    std::atomic<bool> cancelled_{false};
};

// Evaluation: one verification, run on a worker thread from start to end.
class Evaluation {
public:
    Evaluation(FprintdConfiguration configuration, AuthenticationPrompt prompt)
        : configuration_(configuration),
          prompt_(std::move(prompt)),
          context_(g_main_context_new()),
          deadline_(Clock::now() + configuration.verifyTimeout) {}

    // run: the outcome; a null error means the user was recognised.
    std::optional<NSError> run() {
        auto error = verify();
        stopAndRelease();
        if (presenter_) {
            cancelSwitch_->finish();
            presenter_->dismiss();
        }
        statusSubscription_.reset();
        ownerSubscription_.reset();
        while (g_main_context_iteration(context_.get(), FALSE)) {
        }
        return error;
    }

private:
    Clock::time_point callDeadline() const { return std::min(Clock::now() + configuration_.callTimeout, deadline_); }

    // deviceCall: one call on the reader; `cleanUp` calls get their own bound
    // even after the evaluation's deadline, so the reader is always let go.
    CallOutcome deviceCall(const char* method, GVariant* parameters, bool cleanUp = false) {
        const auto deadline = cleanUp ? Clock::now() + configuration_.callTimeout : callDeadline();
        return call(bus_.get(), context_.get(), deadline, fprintdName, devicePath_.c_str(), deviceInterface, method,
                    parameters, nullptr);
    }

    std::optional<NSError> verify() {
        if (lockout().active(configuration_)) {
            return laError(LAErrorCode::biometryLockout, "Too many failed attempts; try again later");
        }
        bus_ = systemBus(context_.get(), callDeadline());
        if (!bus_) {
            return laError(LAErrorCode::biometryNotAvailable, "The system bus cannot be reached");
        }
        std::optional<NSError> error;
        const auto device = defaultDevice(bus_.get(), context_.get(), callDeadline(), error);
        if (!device) {
            return error;
        }
        devicePath_ = *device;
        subscribe();

        const auto claim = deviceCall("Claim", g_variant_new("(s)", ""));
        if (claim.error || claim.timedOut) {
            return failure(claim, LAErrorCode::systemCancel, "Claim");
        }
        claimed_ = true;
        if (auto started = startVerifying()) {
            return started;
        }
        if (auto presenter = authenticationPromptPresenter()) {
            presenter_ = std::move(presenter);
            cancelSwitch_ = std::make_shared<CancelSwitch>(context_.get());
            presenter_->show(prompt_, [cancelSwitch = cancelSwitch_] { cancelSwitch->cancel(); });
        }
        return awaitResult();
    }

    void subscribe() {
        statusSubscription_ = glib::SignalSubscription(
            bus_.get(), context_.get(),
            {.sender = fprintdName, .interface = deviceInterface, .member = "VerifyStatus", .path = devicePath_,
             .arg0 = ""},
            [this](const glib::Signal& signal) {
                if (signal.path == nullptr || devicePath_ != signal.path ||
                    !g_variant_is_of_type(signal.parameters, G_VARIANT_TYPE("(sb)"))) {
                    return;
                }
                const gchar* result = nullptr;
                gboolean done = FALSE;
                g_variant_get(signal.parameters, "(&sb)", &result, &done);
                statuses_.emplace_back(result);
            });
        ownerSubscription_ = glib::SignalSubscription(
            bus_.get(), context_.get(),
            {.sender = "org.freedesktop.DBus", .interface = "org.freedesktop.DBus", .member = "NameOwnerChanged",
             .path = "/org/freedesktop/DBus", .arg0 = fprintdName},
            [this](const glib::Signal& signal) {
                const gchar* name = nullptr;
                const gchar* oldOwner = nullptr;
                const gchar* newOwner = nullptr;
                if (g_variant_is_of_type(signal.parameters, G_VARIANT_TYPE("(sss)"))) {
                    g_variant_get(signal.parameters, "(&s&s&s)", &name, &oldOwner, &newOwner);
                    if (std::strcmp(name, fprintdName) == 0 && oldOwner[0] != '\0') {
                        serviceLeft_ = true;
                    }
                }
            });
    }

    std::optional<NSError> startVerifying() {
        const auto start = deviceCall("VerifyStart", g_variant_new("(s)", "any"));
        if (start.error || start.timedOut) {
            return failure(start, LAErrorCode::systemCancel, "VerifyStart");
        }
        verifying_ = true;
        return std::nullopt;
    }

    std::optional<NSError> awaitResult() {
        int tries = 0;
        while (true) {
            while (!statuses_.empty()) {
                const std::string result = std::move(statuses_.front());
                statuses_.pop_front();
                if (result == "verify-match") {
                    lockout().recordMatch();
                    return std::nullopt;
                }
                if (result == "verify-no-match") {
                    if (lockout().recordFailure(configuration_)) {
                        return laError(LAErrorCode::biometryLockout, "Too many failed attempts; try again later");
                    }
                    if (++tries >= configuration_.triesPerAuthorization) {
                        return laError(LAErrorCode::authenticationFailed, "The fingerprint did not match");
                    }
                    stopVerifying();
                    statuses_.clear();
                    if (auto restarted = startVerifying()) {
                        return restarted;
                    }
                    continue;
                }
                if (result.starts_with("verify-retry-") || result == "verify-swipe-too-short" ||
                    result == "verify-finger-not-centered" || result == "verify-remove-and-retry") {
                    continue;
                }
                if (result == "verify-disconnected") {
                    return laError(LAErrorCode::systemCancel, "The fingerprint reader was disconnected");
                }
                return laError(LAErrorCode::systemCancel, "The fingerprint reader failed (" + result + ")");
            }
            if (cancelSwitch_ && cancelSwitch_->cancelled()) {
                return laError(LAErrorCode::userCancel, "Cancelled by the user");
            }
            if (serviceLeft_) {
                return laError(LAErrorCode::systemCancel, "The fingerprint service stopped");
            }
            const auto now = Clock::now();
            if (now >= deadline_) {
                return laError(LAErrorCode::systemCancel, "No finger was presented in time");
            }
            // Wake up at the deadline at the latest.
            const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - now);
            GSource* timer = g_timeout_source_new(static_cast<guint>(std::max<std::int64_t>(remaining.count(), 1)));
            g_source_set_callback(timer, [](gpointer) { return G_SOURCE_REMOVE; }, nullptr, nullptr);
            g_source_attach(timer, context_.get());
            g_main_context_iteration(context_.get(), TRUE);
            g_source_destroy(timer);
            g_source_unref(timer);
        }
    }

    void stopVerifying() {
        if (verifying_) {
            verifying_ = false;
            deviceCall("VerifyStop", nullptr, true);
        }
    }

    // stopAndRelease: lets the reader go. A fprintd that left the bus holds no
    // claim any more, and calling it would only start a new one.
    void stopAndRelease() {
        if (!bus_ || serviceLeft_) {
            return;
        }
        stopVerifying();
        if (claimed_) {
            claimed_ = false;
            deviceCall("Release", nullptr, true);
        }
    }

    FprintdConfiguration configuration_;
    AuthenticationPrompt prompt_;
    glib::ContextPtr context_;
    Clock::time_point deadline_;
    glib::ObjectPtr<GDBusConnection> bus_;
    std::string devicePath_;
    glib::SignalSubscription statusSubscription_;
    glib::SignalSubscription ownerSubscription_;
    std::deque<std::string> statuses_;
    bool serviceLeft_ = false;
    bool claimed_ = false;
    bool verifying_ = false;
    std::shared_ptr<AuthenticationPromptPresenter> presenter_;
    std::shared_ptr<CancelSwitch> cancelSwitch_;
};

class FprintdAuthenticationContext : public LAContext {
public:
    explicit FprintdAuthenticationContext(const FprintdConfiguration& configuration) : configuration_(configuration) {}

    std::optional<NSError> canEvaluatePolicy(LAPolicy) override {
        const glib::ContextPtr context(g_main_context_new());
        const auto deadline = Clock::now() + configuration_.callTimeout;
        const auto bus = systemBus(context.get(), deadline);
        if (!bus) {
            return laError(LAErrorCode::biometryNotAvailable, "The system bus cannot be reached");
        }
        std::optional<NSError> error;
        const auto device = defaultDevice(bus.get(), context.get(), deadline, error);
        if (!device) {
            return error;
        }
        const auto fingers = call(bus.get(), context.get(), deadline, fprintdName, device->c_str(), deviceInterface,
                                  "ListEnrolledFingers", g_variant_new("(s)", ""), "(as)");
        if (!fingers.reply) {
            return failure(fingers, LAErrorCode::biometryNotAvailable, "ListEnrolledFingers");
        }
        glib::VariantPtr list(g_variant_get_child_value(fingers.reply.get(), 0));
        if (g_variant_n_children(list.get()) == 0) {
            return laError(LAErrorCode::biometryNotEnrolled, "No fingerprint is enrolled");
        }
        if (lockout().active(configuration_)) {
            return laError(LAErrorCode::biometryLockout, "Too many failed attempts; try again later");
        }
        return std::nullopt;
    }

    void setLocalizedFallbackTitle(std::string title) override { fallbackTitle_ = std::move(title); }

    void evaluatePolicy(LAPolicy, std::string localizedReason, Reply reply) override {
        AuthenticationPrompt prompt{std::move(localizedReason), fallbackTitle_};
        DispatchQueue::global()->async(
            [configuration = configuration_, prompt = std::move(prompt), reply = std::move(reply)]() mutable {
                Evaluation evaluation(configuration, std::move(prompt));
                auto error = evaluation.run();
                const bool success = !error.has_value();
                reply(success, std::move(error));
            });
    }

private:
    FprintdConfiguration configuration_;
    std::string fallbackTitle_;
};

}  // namespace

std::shared_ptr<FprintdAuthenticationPlatform> FprintdAuthenticationPlatform::create(
    FprintdConfiguration configuration) {
    return std::shared_ptr<FprintdAuthenticationPlatform>(new FprintdAuthenticationPlatform(configuration));
}

FprintdAuthenticationPlatform::FprintdAuthenticationPlatform(FprintdConfiguration configuration)
    : configuration_(configuration) {}

bool FprintdAuthenticationPlatform::systemOffersService() {
    const glib::ContextPtr context(g_main_context_new());
    const auto deadline = Clock::now() + configuration_.callTimeout;
    const auto bus = systemBus(context.get(), deadline);
    if (!bus) {
        return false;
    }
    const auto owned = call(bus.get(), context.get(), deadline, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                            "org.freedesktop.DBus", "NameHasOwner", g_variant_new("(s)", fprintdName), "(b)");
    if (!owned.reply) {
        return false;
    }
    gboolean hasOwner = FALSE;
    g_variant_get(owned.reply.get(), "(b)", &hasOwner);
    if (hasOwner) {
        return true;
    }
    const auto activatable = call(bus.get(), context.get(), deadline, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                  "org.freedesktop.DBus", "ListActivatableNames", nullptr, "(as)");
    if (!activatable.reply) {
        return false;
    }
    glib::VariantPtr names(g_variant_get_child_value(activatable.reply.get(), 0));
    const glib::StrvPtr list(g_variant_dup_strv(names.get(), nullptr));
    for (gchar** name = list.get(); name != nullptr && *name != nullptr; ++name) {
        if (std::strcmp(*name, fprintdName) == 0) {
            return true;
        }
    }
    return false;
}

std::unique_ptr<LAContext> FprintdAuthenticationPlatform::makeContext() {
    return std::make_unique<FprintdAuthenticationContext>(configuration_);
}

std::shared_ptr<LAAuthenticationPlatform> systemAuthenticationPlatform() {
    return FprintdAuthenticationPlatform::create();
}

}  // namespace orvane
