#include "Platform/Notifications/DesktopNotificationsBackend.hpp"

#include "Platform/Dispatch/DispatchQueue.hpp"
#include "Platform/Foundation/SystemLog.hpp"
#include "Platform/GLib/BusConnection.hpp"
#include "Platform/GLib/ContextScope.hpp"
#include "Platform/GLib/SignalSubscription.hpp"
#include "Platform/Notifications/NSUserNotification.hpp"

#include <cerrno>
#include <chrono>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvane {

namespace {

constexpr const char* serverName = "org.freedesktop.Notifications";
constexpr const char* serverPath = "/org/freedesktop/Notifications";
constexpr const char* serverInterface = "org.freedesktop.Notifications";
constexpr std::string_view actionButtonKey = "action-button";
constexpr auto connectBound = std::chrono::seconds(2);

// D-Bus strings must be UTF-8; anything else is repaired, never sent as is.
std::string validText(const std::string& text) {
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
        return text;
    }
    glib::StringPtr valid(g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size())));
    return valid.get();
}

std::string programName() {
    if (const char* name = g_get_prgname()) {
        return name;
    }
    return program_invocation_short_name;
}

// What a Notify call needs, copied when the center posts.
struct Request {
    std::string summary;
    std::string body;
    std::string actionButtonTitle;
    std::optional<std::string> soundName;
    std::uint32_t replacesId = 0;
    UserNotificationBackend::Posted posted;
};

class DesktopNotificationsBackend final : public UserNotificationBackend,
                                          public std::enable_shared_from_this<DesktopNotificationsBackend> {
public:
    void setEvents(Events events) override { events_ = std::move(events); }

    void post(const NSUserNotification& notification, std::uint32_t replacesId, Posted posted) override {
        std::string body = notification.subtitle();
        if (!notification.informativeText().empty()) {
            body += (body.empty() ? "" : "\n") + notification.informativeText();
        }
        waiting_.push_back(
            {validText(notification.title()), validText(body), validText(notification.actionButtonTitle()),
             notification.soundName() ? std::optional(validText(*notification.soundName())) : std::nullopt,
             replacesId, std::move(posted)});
        if (!connect()) {
            return;
        }
        if (capabilities_) {
            sendWaiting();
        } else if (!fetchingCapabilities_) {
            fetchCapabilities();
        }
    }

    void close(std::uint32_t id) override {
        if (!connection_ || g_dbus_connection_is_closed(connection_.get())) {
            return;
        }
        g_dbus_connection_call(connection_.get(), serverName, serverPath, serverInterface,
                               "CloseNotification", g_variant_new("(u)", id), nullptr,
                               G_DBUS_CALL_FLAGS_NO_AUTO_START, callTimeoutMilliseconds, nullptr, nullptr,
                               nullptr);
    }

private:
    // Heap state of one asynchronous call, freed by its callback.
    struct CallState {
        std::weak_ptr<DesktopNotificationsBackend> backend;
        Posted posted;
    };

    bool connect() {
        if (connection_ && g_dbus_connection_is_closed(connection_.get())) {
            // The bus went away, and with it whatever the server showed for us.
            forgetConnection();
            if (events_.serverRestarted) {
                events_.serverRestarted();
            }
        }
        if (connection_) {
            return true;
        }
        const auto address = glib::busAddress(glib::Bus::session);
        if (!address) {
            drop("no session bus");
            return false;
        }
        glib::ContextPtr context(g_main_context_new());
        glib::BoundedWait wait(context.get(), glib::BoundedWait::Clock::now() + connectBound);
        GError* raw = nullptr;
        auto connection = glib::openBusConnection(*address, wait, &raw);
        glib::ErrorPtr error(raw);
        if (!connection) {
            drop(error ? error->message : "the session bus did not answer");
            return false;
        }
        connection_ = std::move(connection);
        subscribe();
        return true;
    }

    void forgetConnection() {
        actionInvoked_.reset();
        notificationClosed_.reset();
        ownerChanged_.reset();
        connection_.reset();
        capabilities_.reset();
        fetchingCapabilities_ = false;
    }

    void subscribe() {
        std::weak_ptr<DesktopNotificationsBackend> weak = weak_from_this();
        GMainContext* main = g_main_context_default();
        auto match = [](const char* member) {
            return glib::SignalMatch{.sender = serverName,
                                     .interface = serverInterface,
                                     .member = member,
                                     .path = serverPath,
                                     .arg0 = {}};
        };
        actionInvoked_ = glib::SignalSubscription(
            connection_.get(), main, match("ActionInvoked"), [weak](const glib::Signal& signal) {
                auto self = weak.lock();
                if (!self || !g_variant_is_of_type(signal.parameters, G_VARIANT_TYPE("(us)")) ||
                    !self->events_.activated) {
                    return;
                }
                guint32 id = 0;
                const gchar* key = nullptr;
                g_variant_get(signal.parameters, "(u&s)", &id, &key);
                self->events_.activated(id, std::string_view(key) == actionButtonKey
                                                ? NSUserNotification::ActivationType::actionButtonClicked
                                                : NSUserNotification::ActivationType::contentsClicked);
            });
        notificationClosed_ = glib::SignalSubscription(
            connection_.get(), main, match("NotificationClosed"), [weak](const glib::Signal& signal) {
                auto self = weak.lock();
                if (!self || !g_variant_is_of_type(signal.parameters, G_VARIANT_TYPE("(uu)")) ||
                    !self->events_.closed) {
                    return;
                }
                guint32 id = 0;
                guint32 reason = 0;
                g_variant_get(signal.parameters, "(uu)", &id, &reason);
                self->events_.closed(id, reason);
            });
        ownerChanged_ = glib::SignalSubscription(connection_.get(), main,
                                                 {.sender = "org.freedesktop.DBus",
                                                  .interface = "org.freedesktop.DBus",
                                                  .member = "NameOwnerChanged",
                                                  .path = "/org/freedesktop/DBus",
                                                  .arg0 = serverName},
                                                 [weak](const glib::Signal&) {
                                                     auto self = weak.lock();
                                                     if (!self) {
                                                         return;
                                                     }
                                                     // A new server may offer other capabilities.
                                                     if (!self->fetchingCapabilities_) {
                                                         self->capabilities_.reset();
                                                     }
                                                     if (self->events_.serverRestarted) {
                                                         self->events_.serverRestarted();
                                                     }
                                                 });
    }

    void fetchCapabilities() {
        fetchingCapabilities_ = true;
        glib::ContextScope onMain(g_main_context_default());
        g_dbus_connection_call(
            connection_.get(), serverName, serverPath, serverInterface, "GetCapabilities", nullptr,
            G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, callTimeoutMilliseconds, nullptr,
            &DesktopNotificationsBackend::capabilitiesArrived, new CallState{weak_from_this(), nullptr});
    }

    static void capabilitiesArrived(GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<CallState> state(static_cast<CallState*>(data));
        GError* raw = nullptr;
        glib::VariantPtr reply(g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &raw));
        glib::ErrorPtr error(raw);
        auto self = state->backend.lock();
        if (!self) {
            return;
        }
        self->fetchingCapabilities_ = false;
        if (!reply) {
            self->drop(error->message);
            return;
        }
        std::set<std::string> capabilities;
        GVariantIter* names = nullptr;
        const gchar* name = nullptr;
        g_variant_get(reply.get(), "(as)", &names);
        while (g_variant_iter_loop(names, "&s", &name)) {
            capabilities.insert(name);
        }
        g_variant_iter_free(names);
        self->capabilities_ = std::move(capabilities);
        self->sendWaiting();
    }

    void sendWaiting() {
        auto requests = std::move(waiting_);
        waiting_.clear();
        const bool markup = capabilities_->contains("body-markup");
        const bool actions = capabilities_->contains("actions");
        glib::ContextScope onMain(g_main_context_default());
        for (auto& request : requests) {
            GVariantBuilder actionList;
            g_variant_builder_init(&actionList, G_VARIANT_TYPE("as"));
            g_variant_builder_add(&actionList, "s", "default");
            g_variant_builder_add(&actionList, "s", "Open");
            if (actions && !request.actionButtonTitle.empty()) {
                g_variant_builder_add(&actionList, "s", actionButtonKey.data());
                g_variant_builder_add(&actionList, "s", request.actionButtonTitle.c_str());
            }
            GVariantBuilder hints;
            g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
            g_variant_builder_add(&hints, "{sv}", "desktop-entry",
                                  g_variant_new_string(desktopEntry_.c_str()));
            if (request.soundName) {
                const bool standard = *request.soundName == NSUserNotificationDefaultSoundName;
                g_variant_builder_add(
                    &hints, "{sv}", "sound-name",
                    g_variant_new_string(standard ? "message-new-instant" : request.soundName->c_str()));
            }
            glib::StringPtr body(markup ? g_markup_escape_text(request.body.c_str(), -1)
                                        : g_strdup(request.body.c_str()));
            g_dbus_connection_call(
                connection_.get(), serverName, serverPath, serverInterface, "Notify",
                g_variant_new("(susssasa{sv}i)", desktopEntry_.c_str(), request.replacesId, "",
                              request.summary.c_str(), body.get(), &actionList, &hints, -1),
                G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, callTimeoutMilliseconds, nullptr,
                &DesktopNotificationsBackend::notifyAnswered,
                new CallState{weak_from_this(), std::move(request.posted)});
        }
    }

    static void notifyAnswered(GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<CallState> state(static_cast<CallState*>(data));
        GError* raw = nullptr;
        glib::VariantPtr reply(g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &raw));
        glib::ErrorPtr error(raw);
        if (!reply) {
            if (auto self = state->backend.lock()) {
                self->logOnce(error->message);
            }
            state->posted(std::nullopt);
            return;
        }
        guint32 id = 0;
        g_variant_get(reply.get(), "(u)", &id);
        state->posted(id);
    }

    // drop: every waiting notification is dropped (answered from the main
    // queue, never inside post()), with one log line once.
    void drop(const std::string& reason) {
        logOnce(reason);
        for (auto& request : waiting_) {
            DispatchQueue::main()->async([posted = std::move(request.posted)] { posted(std::nullopt); });
        }
        waiting_.clear();
    }

    void logOnce(const std::string& reason) {
        if (!logged_) {
            logged_ = true;
            systemLog("Notifications are dropped: no desktop notification server (" + reason + ")");
        }
    }

    Events events_;
    std::string desktopEntry_ = validText(programName());
    glib::ObjectPtr<GDBusConnection> connection_;
    glib::SignalSubscription actionInvoked_;
    glib::SignalSubscription notificationClosed_;
    glib::SignalSubscription ownerChanged_;
    std::optional<std::set<std::string>> capabilities_;
    bool fetchingCapabilities_ = false;
    std::vector<Request> waiting_;
    bool logged_ = false;
};

}  // namespace

std::shared_ptr<UserNotificationBackend> makeDesktopNotificationsBackend() {
    return std::make_shared<DesktopNotificationsBackend>();
}

}  // namespace orvane
