#include "Keychain/SecKeychainProxy.hpp"

#include "Keychain/SecKeychainError.hpp"
#include "Keychain/TrustedApplicationIdentity.hpp"

// libsecret's object-path functions (unlock, get, create and delete by path)
// let each step be one round trip to the service. libsecret marks them
// unstable, so a libsecret upgrade deserves a run of the integration tests.
#define SECRET_API_SUBJECT_TO_CHANGE
#include <libsecret/secret.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <iterator>
#include <map>
#include <mutex>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

namespace orvane {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* busName = "org.freedesktop.secrets";
// The alias path of the default collection; the service resolves it.
constexpr const char* defaultCollectionPath = "/org/freedesktop/secrets/aliases/default";
constexpr const char* collectionInterface = "org.freedesktop.Secret.Collection";
constexpr const char* itemInterface = "org.freedesktop.Secret.Item";

constexpr const char* schemaAttribute = "xdg:schema";
constexpr const char* schemaName = "com.orvane.GenericPassword";
constexpr const char* accountAttribute = "account";
constexpr const char* serviceAttribute = "service";
constexpr const char* descriptorAttribute = "access-descriptor";
constexpr const char* trustedApplicationsAttribute = "trusted-applications";
constexpr const char* secretContentType = "application/octet-stream";

// Statuses beyond those every adaptor shares, numbered as the platform keychain numbers them.
namespace status {
constexpr OSStatus unimplemented = -4;
constexpr OSStatus noSuchKeychain = -25294;
constexpr OSStatus decode = -26275;
constexpr OSStatus internalComponent = -2070;
}  // namespace status

// Failure: an exchange with the service failed with this status. Each public
// operation turns it into its own Seckeychain error.
struct Failure {
    OSStatus status;
};

struct ErrorFree {
    void operator()(GError* error) const noexcept { g_error_free(error); }
};
struct ObjectUnref {
    void operator()(gpointer object) const noexcept { g_object_unref(object); }
};
struct VariantUnref {
    void operator()(GVariant* variant) const noexcept { g_variant_unref(variant); }
};
struct ValueUnref {
    void operator()(SecretValue* value) const noexcept { secret_value_unref(value); }
};
struct ContextUnref {
    void operator()(GMainContext* context) const noexcept { g_main_context_unref(context); }
};
struct StrvFree {
    void operator()(gchar** strings) const noexcept { g_strfreev(strings); }
};
struct StringFree {
    void operator()(gchar* text) const noexcept { g_free(text); }
};
struct HashTableUnref {
    void operator()(GHashTable* table) const noexcept { g_hash_table_unref(table); }
};

using ErrorPtr = std::unique_ptr<GError, ErrorFree>;
template <class T>
using ObjectPtr = std::unique_ptr<T, ObjectUnref>;
using VariantPtr = std::unique_ptr<GVariant, VariantUnref>;
using ValuePtr = std::unique_ptr<SecretValue, ValueUnref>;
using ContextPtr = std::unique_ptr<GMainContext, ContextUnref>;
using StrvPtr = std::unique_ptr<gchar*, StrvFree>;
using StringPtr = std::unique_ptr<gchar, StringFree>;
using HashTablePtr = std::unique_ptr<GHashTable, HashTableUnref>;

using Attributes = std::map<std::string, std::string, std::less<>>;

// BoundedWait: runs asynchronous GIO calls to completion on the caller's
// thread, iterating `context` (pushed as the thread-default context, so the
// calls deliver there) until each finishes, and cancels whatever is still
// running at the deadline. Every call of one operation shares the deadline.
// A call that ignores the cancellation is abandoned a moment later, so no
// caller waits much past its bound. Several calls may be in flight at once:
// begin() each, then finish() each.
class BoundedWait {
    struct Pending;

public:
    // How long a cancelled call may take to wind down before it is abandoned.
    static constexpr guint graceMilliseconds = 1000;

    BoundedWait(GMainContext* context, Clock::time_point deadline)
        : context_(g_main_context_ref(context)), cancellable_(g_cancellable_new()) {
        g_main_context_push_thread_default(context_.get());
        const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        const auto delay = std::clamp<std::int64_t>(remaining.count(), 0, G_MAXUINT);
        deadlineTimer_ = attachTimer(static_cast<guint>(delay), &BoundedWait::expire);
    }

    BoundedWait(const BoundedWait&) = delete;
    BoundedWait& operator=(const BoundedWait&) = delete;

    ~BoundedWait() {
        for (GSource* timer : {deadlineTimer_, graceTimer_}) {
            if (timer != nullptr) {
                g_source_destroy(timer);
                g_source_unref(timer);
            }
        }
        // GDBus frees a finished signal subscription's data from an idle in
        // this context; let that run before the context is let go.
        while (g_main_context_iteration(context_.get(), FALSE)) {
        }
        g_main_context_pop_thread_default(context_.get());
    }

    bool expired() const { return expired_; }

    // Call: one call begun on a BoundedWait. A call dropped unfinished (when an
    // earlier one failed) is still waited for, within the same bound, so that its
    // reply is not left to a context nobody iterates.
    class Call {
    public:
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;
        Call(Call&& other) noexcept : wait_(other.wait_), pending_(std::exchange(other.pending_, nullptr)) {}
        Call& operator=(Call&&) = delete;

        ~Call() {
            if (pending_ != nullptr) {
                wait_.settle(std::exchange(pending_, nullptr));
            }
        }

    private:
        friend class BoundedWait;
        Call(BoundedWait& wait, Pending* pending) : wait_(wait), pending_(pending) {}

        BoundedWait& wait_;
        Pending* pending_;
    };

    // begin: `start(cancellable, callback, userData)` begins one asynchronous
    // call, which may be left in flight while another one begins.
    template <class Start>
    Call begin(Start&& start) {
        // Shared with the callback, which may still come after we gave up.
        auto* pending = new Pending();
        start(cancellable_.get(), &BoundedWait::deliver, pending);
        return Call(*this, pending);
    }

    // finish: waits for a call made by begin() and returns the result it
    // handed to the callback. A call abandoned after the deadline fails with
    // `abandonedStatus`.
    ObjectPtr<GAsyncResult> finish(Call& call, OSStatus abandonedStatus = errSecNotAvailable);

    // run: begin() and finish() of one call.
    template <class Start>
    ObjectPtr<GAsyncResult> run(Start&& start, OSStatus abandonedStatus = errSecNotAvailable) {
        Call call = begin(std::forward<Start>(start));
        return finish(call, abandonedStatus);
    }

private:
    struct Pending {
        std::atomic<int> references{2};
        GAsyncResult* result = nullptr;

        void release() {
            if (references.fetch_sub(1) == 1) {
                if (result != nullptr) {
                    g_object_unref(result);
                }
                delete this;
            }
        }
    };

    // settle: waits for the call behind `pending` (or the end of the grace
    // time) and lets go of it; its result, or null when it was abandoned.
    ObjectPtr<GAsyncResult> settle(Pending* pending);

    GSource* attachTimer(guint milliseconds, GSourceFunc callback) {
        GSource* timer = g_timeout_source_new(milliseconds);
        g_source_set_callback(timer, callback, this, nullptr);
        g_source_attach(timer, context_.get());
        return timer;
    }

    static void deliver(GObject*, GAsyncResult* result, gpointer data) {
        auto* pending = static_cast<Pending*>(data);
        pending->result = G_ASYNC_RESULT(g_object_ref(result));
        pending->release();
    }

    static gboolean expire(gpointer self) {
        auto* wait = static_cast<BoundedWait*>(self);
        wait->expired_ = true;
        g_cancellable_cancel(wait->cancellable_.get());
        wait->graceTimer_ = wait->attachTimer(graceMilliseconds, &BoundedWait::abandon);
        return G_SOURCE_REMOVE;
    }

    static gboolean abandon(gpointer self) {
        static_cast<BoundedWait*>(self)->abandoned_ = true;
        return G_SOURCE_REMOVE;
    }

    ContextPtr context_;
    ObjectPtr<GCancellable> cancellable_;
    GSource* deadlineTimer_ = nullptr;
    GSource* graceTimer_ = nullptr;
    bool expired_ = false;
    bool abandoned_ = false;
};

ObjectPtr<GAsyncResult> BoundedWait::finish(Call& call, OSStatus abandonedStatus) {
    ObjectPtr<GAsyncResult> result = settle(std::exchange(call.pending_, nullptr));
    if (!result) {
        throw Failure{abandonedStatus};
    }
    return result;
}

ObjectPtr<GAsyncResult> BoundedWait::settle(Pending* pending) {
    while (pending->result == nullptr && !abandoned_) {
        g_main_context_iteration(context_.get(), TRUE);
    }
    ObjectPtr<GAsyncResult> result(std::exchange(pending->result, nullptr));
    pending->release();
    return result;
}

// statusOf: the keychain status for a failed call. A call cut short by the
// deadline is a locked keychain when it was waiting for an unlock, and an
// unreachable service otherwise.
OSStatus statusOf(const GError* error, const BoundedWait& wait, bool unlocking = false) {
    if (wait.expired() || g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
        return unlocking ? errSecAuthFailed : errSecNotAvailable;
    }
    if (error == nullptr) {
        return status::internalComponent;
    }
    if (error->domain == SECRET_ERROR) {
        switch (error->code) {
            case SECRET_ERROR_IS_LOCKED:
                return errSecAuthFailed;
            case SECRET_ERROR_NO_SUCH_OBJECT:
                return errSecItemNotFound;
            case SECRET_ERROR_ALREADY_EXISTS:
                return errSecDuplicateItem;
            default:
                return status::decode;
        }
    }
    if (error->domain == G_DBUS_ERROR) {
        switch (error->code) {
            case G_DBUS_ERROR_SERVICE_UNKNOWN:
            case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
            case G_DBUS_ERROR_NO_REPLY:
            case G_DBUS_ERROR_NO_SERVER:
            case G_DBUS_ERROR_DISCONNECTED:
            case G_DBUS_ERROR_TIMEOUT:
            case G_DBUS_ERROR_TIMED_OUT:
            case G_DBUS_ERROR_NO_NETWORK:
            case G_DBUS_ERROR_SPAWN_EXEC_FAILED:
            case G_DBUS_ERROR_SPAWN_FORK_FAILED:
            case G_DBUS_ERROR_SPAWN_CHILD_EXITED:
            case G_DBUS_ERROR_SPAWN_CHILD_SIGNALED:
            case G_DBUS_ERROR_SPAWN_FAILED:
            case G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND:
            case G_DBUS_ERROR_SPAWN_SERVICE_INVALID:
            case G_DBUS_ERROR_SPAWN_FILE_INVALID:
                return errSecNotAvailable;
            // gnome-keyring answers UnknownMethod for an object path that names nothing.
            case G_DBUS_ERROR_UNKNOWN_METHOD:
            case G_DBUS_ERROR_UNKNOWN_OBJECT:
                return errSecItemNotFound;
            case G_DBUS_ERROR_ACCESS_DENIED:
            case G_DBUS_ERROR_AUTH_FAILED:
                return errSecAuthFailed;
            case G_DBUS_ERROR_INVALID_ARGS:
                return errSecParam;
            case G_DBUS_ERROR_NOT_SUPPORTED:
                return status::unimplemented;
            default:
                return status::internalComponent;
        }
    }
    if (error->domain == G_IO_ERROR) {
        switch (error->code) {
            case G_IO_ERROR_CLOSED:
            case G_IO_ERROR_CONNECTION_CLOSED:
            case G_IO_ERROR_CONNECTION_REFUSED:
            case G_IO_ERROR_NOT_FOUND:
            case G_IO_ERROR_TIMED_OUT:
                return errSecNotAvailable;
            default:
                break;
        }
    }
    return status::internalComponent;
}

[[noreturn]] void fail(GError* error, const BoundedWait& wait, bool unlocking = false) {
    const ErrorPtr owned(error);
    throw Failure{statusOf(owned.get(), wait, unlocking)};
}

// carriesAsText: D-Bus strings are UTF-8 without NUL bytes.
bool carriesAsText(const std::string& text) {
    return text.find('\0') == std::string::npos && g_utf8_validate(text.data(), std::ssize(text), nullptr);
}

void requireText(std::initializer_list<const std::string*> texts) {
    for (const std::string* text : texts) {
        if (!carriesAsText(*text)) {
            throw Failure{errSecParam};
        }
    }
}

// sessionBusNamed: whether DBUS_SESSION_BUS_ADDRESS names a bus to connect
// to. Without it GLib would look for one itself and might launch one, and an
// "autolaunch:" entry asks for exactly that; either counts as no bus.
bool sessionBusNamed() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    return address != nullptr && *address != '\0' &&
           std::string_view(address).find("autolaunch:") == std::string_view::npos;
}

void unrefVariant(gpointer variant) {
    g_variant_unref(static_cast<GVariant*>(variant));
}

VariantPtr attributesVariant(const Attributes& attributes) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a{ss}"));
    for (const auto& [name, value] : attributes) {
        g_variant_builder_add(&builder, "{ss}", name.c_str(), value.c_str());
    }
    return VariantPtr(g_variant_ref_sink(g_variant_builder_end(&builder)));
}

// The properties of one item that choosing and reading it need.
struct ItemProperties {
    std::string path;
    bool locked = false;
    Attributes attributes;
    std::uint64_t created = 0;
    std::uint64_t modified = 0;
};

// newestOf: the one item every operation picks among several matches.
const ItemProperties& newestOf(const std::vector<ItemProperties>& items) {
    return *std::max_element(
        items.begin(), items.end(), [](const ItemProperties& lhs, const ItemProperties& rhs) {
            return std::forward_as_tuple(lhs.modified, lhs.created, lhs.path.size(), lhs.path) <
                   std::forward_as_tuple(rhs.modified, rhs.created, rhs.path.size(), rhs.path);
        });
}

// What an item handle of this adaptor holds: the item's path and its access
// record as read when the handle was made.
struct SecretServiceItemState {
    std::string path;
    std::optional<std::string> trustedApplications;
};

std::string encodeTrustedApplications(const std::vector<Data>& blobs) {
    std::string text;
    for (const Data& blob : blobs) {
        if (!text.empty()) {
            text += ',';
        }
        text += blob.base64EncodedString();
    }
    return text;
}

std::optional<std::vector<Data>> decodeTrustedApplications(std::string_view text) {
    std::vector<Data> blobs;
    while (!text.empty()) {
        const auto end = text.find(',');
        const std::string_view piece = text.substr(0, end);
        auto blob = Data::fromBase64(piece);
        if (piece.empty() || !blob) {
            return std::nullopt;
        }
        blobs.push_back(std::move(*blob));
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
        if (text.empty()) {
            return std::nullopt;  // a trailing separator
        }
    }
    return blobs;
}

// bytesOf: a copy of a secret in the wiping byte buffer.
Data bytesOf(SecretValue* value) {
    gsize length = 0;
    const gchar* bytes = secret_value_get(value, &length);
    return Data(bytes, length);
}

}  // namespace

// Session: one connection to the bus with the Secret Service proxy and its
// transfer session, and the exchanges the operations are made of. Made on the
// thread and under the lock of Connection; afterwards used by any thread,
// each call inside the caller's own BoundedWait.
class SecKeychainProxy::Session {
public:
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    ~Session() {
        // Releasing the proxy ends its signal subscriptions, whose data GDBus
        // frees from an idle in `home`.
        service_.reset();
        drainHome();
    }

    static std::shared_ptr<Session> open(Clock::time_point deadline) {
        auto session = std::shared_ptr<Session>(new Session());
        // The proxy's bookkeeping (property and name-owner changes) is
        // delivered to `home`, which Connection drains before each use.
        BoundedWait wait(session->home_.get(), deadline);

        // A proxy of our own rather than libsecret's shared one, so that
        // dropping it after a failure affects nobody else. It talks over
        // GLib's session-bus connection.
        auto opened = wait.run([&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
            secret_service_open(SECRET_TYPE_SERVICE, nullptr, SECRET_SERVICE_NONE, cancellable, callback,
                                data);
        });
        GError* error = nullptr;
        SecretService* service = secret_service_open_finish(opened.get(), &error);
        if (service == nullptr) {
            fail(error, wait);
        }
        session->service_.reset(service);
        session->connection_ = g_dbus_proxy_get_connection(G_DBUS_PROXY(service));

        // Opening the transfer session is the first message to the service
        // itself, so a bus without a Secret Service fails here.
        auto ensured = wait.run([&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
            secret_service_ensure_session(session->service_.get(), cancellable, callback, data);
        });
        if (!secret_service_ensure_session_finish(session->service_.get(), ensured.get(), &error)) {
            fail(error, wait);
        }
        session->owner_.reset(g_dbus_proxy_get_name_owner(G_DBUS_PROXY(service)));
        return session;
    }

    // usable: whether the connection is open and the service that holds our
    // transfer session still owns the bus name; a restarted service knows
    // nothing of the session.
    bool usable() const {
        if (g_dbus_connection_is_closed(connection_)) {
            return false;
        }
        const StringPtr owner(g_dbus_proxy_get_name_owner(G_DBUS_PROXY(service_.get())));
        return owner && owner_ && std::string_view(owner.get()) == owner_.get();
    }

    // drainHome: lets the proxy see what happened on the bus since the last call.
    void drainHome() {
        if (g_main_context_acquire(home_.get())) {
            while (g_main_context_iteration(home_.get(), FALSE)) {
            }
            g_main_context_release(home_.get());
        }
    }

    // search: the paths of the default collection's items with this account
    // and service, whoever made them. No default collection means no items.
    std::vector<std::string> search(BoundedWait& wait, const std::string& account,
                                    const std::string& service) {
        BoundedWait::Call call = beginSearch(wait, account, service);
        return finishSearch(wait, call);
    }

    BoundedWait::Call beginSearch(BoundedWait& wait, const std::string& account, const std::string& service) {
        const VariantPtr query =
            attributesVariant({{accountAttribute, account}, {serviceAttribute, service}});
        return wait.begin([&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
            g_dbus_connection_call(connection_, busName, defaultCollectionPath, collectionInterface,
                                   "SearchItems", g_variant_new("(@a{ss})", query.get()),
                                   G_VARIANT_TYPE("(ao)"), G_DBUS_CALL_FLAGS_NONE, G_MAXINT, cancellable,
                                   callback, data);
        });
    }

    std::vector<std::string> finishSearch(BoundedWait& wait, BoundedWait::Call& call) {
        auto done = wait.finish(call);
        GError* error = nullptr;
        const VariantPtr reply(g_dbus_connection_call_finish(connection_, done.get(), &error));
        if (!reply) {
            const ErrorPtr owned(error);
            const OSStatus status = statusOf(owned.get(), wait);
            if (status == errSecItemNotFound) {
                return {};
            }
            throw Failure{status};
        }
        std::vector<std::string> paths;
        GVariantIter* iterator = nullptr;
        g_variant_get(reply.get(), "(ao)", &iterator);
        const gchar* path = nullptr;
        while (g_variant_iter_next(iterator, "&o", &path)) {
            paths.emplace_back(path);
        }
        g_variant_iter_free(iterator);
        return paths;
    }

    // properties: every property of the item at `path`, in one exchange.
    ItemProperties properties(BoundedWait& wait, const std::string& path) {
        BoundedWait::Call call = beginProperties(wait, path);
        return finishProperties(wait, call, path);
    }

    BoundedWait::Call beginProperties(BoundedWait& wait, const std::string& path) {
        return wait.begin([&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
            g_dbus_connection_call(connection_, busName, path.c_str(), "org.freedesktop.DBus.Properties",
                                   "GetAll", g_variant_new("(s)", itemInterface), G_VARIANT_TYPE("(a{sv})"),
                                   G_DBUS_CALL_FLAGS_NONE, G_MAXINT, cancellable, callback, data);
        });
    }

    ItemProperties finishProperties(BoundedWait& wait, BoundedWait::Call& call, const std::string& path) {
        auto done = wait.finish(call);
        GError* error = nullptr;
        const VariantPtr reply(g_dbus_connection_call_finish(connection_, done.get(), &error));
        if (!reply) {
            fail(error, wait);
        }
        ItemProperties item;
        item.path = path;
        const VariantPtr all(g_variant_get_child_value(reply.get(), 0));
        gboolean locked = FALSE;
        if (g_variant_lookup(all.get(), "Locked", "b", &locked)) {
            item.locked = locked != FALSE;
        }
        guint64 stamp = 0;
        if (g_variant_lookup(all.get(), "Created", "t", &stamp)) {
            item.created = stamp;
        }
        if (g_variant_lookup(all.get(), "Modified", "t", &stamp)) {
            item.modified = stamp;
        }
        GVariantIter* iterator = nullptr;
        if (g_variant_lookup(all.get(), "Attributes", "a{ss}", &iterator)) {
            const gchar* name = nullptr;
            const gchar* value = nullptr;
            while (g_variant_iter_next(iterator, "{&s&s}", &name, &value)) {
                item.attributes.emplace(name, value);
            }
            g_variant_iter_free(iterator);
        }
        return item;
    }

    // secret: the item's secret, or null when the service handed none back
    // (as it does for a locked item).
    ValuePtr secret(BoundedWait& wait, const std::string& path) {
        BoundedWait::Call call = beginSecret(wait, path);
        return finishSecret(wait, call);
    }

    BoundedWait::Call beginSecret(BoundedWait& wait, const std::string& path) {
        return wait.begin([&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
            secret_service_get_secret_for_dbus_path(service_.get(), path.c_str(), cancellable, callback,
                                                    data);
        });
    }

    ValuePtr finishSecret(BoundedWait& wait, BoundedWait::Call& call) {
        auto done = wait.finish(call);
        GError* error = nullptr;
        ValuePtr value(secret_service_get_secret_for_dbus_path_finish(service_.get(), done.get(), &error));
        if (error != nullptr) {
            fail(error, wait);
        }
        return value;
    }

    // unlock: unlocks the objects at `paths`, prompting if the service must;
    // fails with errSecAuthFailed unless all of them end up unlocked.
    void unlock(BoundedWait& wait, const std::vector<std::string>& paths) {
        std::vector<const gchar*> list;
        for (const std::string& path : paths) {
            list.push_back(path.c_str());
        }
        list.push_back(nullptr);
        auto done = wait.run(
            [&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
                secret_service_unlock_dbus_paths(service_.get(), list.data(), cancellable, callback, data);
            },
            errSecAuthFailed);
        GError* error = nullptr;
        gchar** unlocked = nullptr;
        const gint count =
            secret_service_unlock_dbus_paths_finish(service_.get(), done.get(), &unlocked, &error);
        const StrvPtr owned(unlocked);
        if (error != nullptr) {
            fail(error, wait, true);
        }
        if (count < std::ssize(paths)) {
            throw Failure{errSecAuthFailed};
        }
    }

    // unlockingIfLocked: `attempt()`, and once more after unlocking `paths`
    // when it failed because they were locked.
    template <class Attempt>
    auto unlockingIfLocked(BoundedWait& wait, const std::vector<std::string>& paths, Attempt&& attempt) {
        try {
            return attempt();
        } catch (const Failure& failure) {
            if (failure.status != errSecAuthFailed) {
                throw;
            }
        }
        unlock(wait, paths);
        return attempt();
    }

    // newest: the properties of the item that every operation picks among
    // `paths`, skipping any that vanished since the search; nothing when all did.
    std::optional<ItemProperties> newest(BoundedWait& wait, const std::vector<std::string>& paths) {
        std::vector<ItemProperties> items;
        for (const std::string& path : paths) {
            try {
                items.push_back(properties(wait, path));
            } catch (const Failure& failure) {
                if (failure.status != errSecItemNotFound) {
                    throw;
                }
            }
        }
        if (items.empty()) {
            return std::nullopt;
        }
        return newestOf(items);
    }

    void remove(BoundedWait& wait, const std::string& path) {
        auto done = wait.run([&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
            secret_service_delete_item_dbus_path(service_.get(), path.c_str(), cancellable, callback, data);
        });
        GError* error = nullptr;
        if (!secret_service_delete_item_dbus_path_finish(service_.get(), done.get(), &error)) {
            fail(error, wait);
        }
    }

    // create: a new item in the default collection, whose path it returns;
    // never replaces one.
    std::string create(BoundedWait& wait, const Attributes& attributes, const std::string& label,
                       const Data& data) {
        const HashTablePtr properties(g_hash_table_new_full(g_str_hash, g_str_equal, nullptr, &unrefVariant));
        g_hash_table_insert(properties.get(), const_cast<gchar*>("org.freedesktop.Secret.Item.Label"),
                            g_variant_ref_sink(g_variant_new_string(label.c_str())));
        g_hash_table_insert(properties.get(), const_cast<gchar*>("org.freedesktop.Secret.Item.Attributes"),
                            attributesVariant(attributes).release());
        // libsecret copies the bytes into its own wiped memory; an empty
        // secret still needs a non-null pointer.
        const auto* bytes = data.empty() ? "" : reinterpret_cast<const gchar*>(data.data());
        const ValuePtr value(secret_value_new(bytes, static_cast<gssize>(data.size()), secretContentType));
        auto done = wait.run([&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer userData) {
            secret_service_create_item_dbus_path(service_.get(), defaultCollectionPath, properties.get(),
                                                 value.get(), SECRET_ITEM_CREATE_NONE, cancellable, callback,
                                                 userData);
        });
        GError* error = nullptr;
        const StringPtr path(secret_service_create_item_dbus_path_finish(service_.get(), done.get(), &error));
        if (error != nullptr) {
            fail(error, wait);
        }
        if (!path) {
            throw Failure{errSecSuccess};
        }
        return path.get();
    }

    // searchGuessing: the search for this account and service, sent together
    // with `begin(path)` for the item last found under them, so that both
    // answers take one wait. The guess, `finish(call, path)`, is kept only
    // when the search found exactly that item and the call succeeded;
    // otherwise the caller goes on from the paths as if nothing was guessed.
    template <class Begin, class Finish>
    auto searchGuessing(BoundedWait& wait, const std::string& account, const std::string& service,
                        Begin&& begin, Finish&& finish) {
        using Result = std::invoke_result_t<Finish, BoundedWait::Call&, const std::string&>;
        std::pair<std::vector<std::string>, std::optional<Result>> outcome;
        const std::optional<std::string> hinted = lastFound(account, service);
        if (!hinted) {
            outcome.first = search(wait, account, service);
            return outcome;
        }
        BoundedWait::Call searching = beginSearch(wait, account, service);
        BoundedWait::Call guessing = begin(*hinted);
        outcome.first = finishSearch(wait, searching);
        try {
            Result guess = finish(guessing, *hinted);
            if (outcome.first.size() == 1 && outcome.first.front() == *hinted) {
                outcome.second = std::move(guess);
            }
        } catch (const Failure&) {
            // A vanished or locked item: the caller asks again and handles what it finds.
        }
        return outcome;
    }

    // remember: the item found under this account and service, or none.
    void remember(const std::string& account, const std::string& service, std::optional<std::string> path) {
        const std::lock_guard lock(hintsMutex_);
        auto key = std::make_pair(account, service);
        if (!path) {
            hints_.erase(key);
            return;
        }
        if (hints_.size() >= maximumHints && !hints_.contains(key)) {
            hints_.clear();
        }
        hints_.insert_or_assign(std::move(key), std::move(*path));
    }

private:
    // Hints beyond this many are dropped all at once; a missing hint costs one wait.
    static constexpr std::size_t maximumHints = 256;

    Session() : home_(g_main_context_new()) {}

    std::optional<std::string> lastFound(const std::string& account, const std::string& service) {
        const std::lock_guard lock(hintsMutex_);
        const auto found = hints_.find(std::make_pair(account, service));
        if (found == hints_.end()) {
            return std::nullopt;
        }
        return found->second;
    }

    ContextPtr home_;
    ObjectPtr<SecretService> service_;
    GDBusConnection* connection_ = nullptr;  // the service proxy's
    StringPtr owner_;                        // the unique bus name of the service at opening
    // Where each account and service was last found: a guess to check, never an answer.
    std::mutex hintsMutex_;
    std::map<std::pair<std::string, std::string>, std::string> hints_;  // guarded by hintsMutex_
};

// Connection: where to find the bus, the bound of each call, and the session
// kept between calls.
class SecKeychainProxy::Connection {
public:
    explicit Connection(std::chrono::milliseconds timeout) : timeout_(timeout) {}

    // perform: runs `body(session, wait)` within one call's bound, opening
    // the session first if there is none. A session that turns out to be
    // unreachable is dropped, so the next call opens a new one.
    template <class Body>
    auto perform(Body&& body) {
        const auto deadline = Clock::now() + timeout_;
        const std::shared_ptr<Session> session = acquire(deadline);
        try {
            const ContextPtr context(g_main_context_new());
            BoundedWait wait(context.get(), deadline);
            return body(*session, wait);
        } catch (const Failure& failure) {
            if (failure.status == errSecNotAvailable) {
                drop(session);
            }
            throw;
        }
    }

private:
    std::shared_ptr<Session> acquire(Clock::time_point deadline) {
        const std::lock_guard lock(mutex_);
        if (current_) {
            current_->drainHome();
            if (current_->usable()) {
                return current_;
            }
        }
        current_.reset();
        if (!sessionBusNamed()) {
            throw Failure{errSecNotAvailable};
        }
        current_ = Session::open(deadline);
        return current_;
    }

    void drop(const std::shared_ptr<Session>& session) {
        const std::lock_guard lock(mutex_);
        if (current_ == session) {
            current_.reset();
        }
    }

    const std::chrono::milliseconds timeout_;
    std::mutex mutex_;
    std::shared_ptr<Session> current_;  // guarded by mutex_
};

SecKeychainProxy::SecKeychainProxy(std::chrono::milliseconds timeout)
    : connection_(std::make_unique<Connection>(timeout)) {}

SecKeychainProxy::~SecKeychainProxy() = default;

std::optional<SecKeychainItem> SecKeychainProxy::fetchItem(const std::string& account,
                                                           const std::string& service) {
    try {
        requireText({&account, &service});
        return connection_->perform([&](Session& session,
                                        BoundedWait& wait) -> std::optional<SecKeychainItem> {
            auto [paths, guessed] = session.searchGuessing(
                wait, account, service,
                [&](const std::string& path) { return session.beginProperties(wait, path); },
                [&](BoundedWait::Call& call, const std::string& path) {
                    return session.finishProperties(wait, call, path);
                });
            std::optional<ItemProperties> chosen = guessed ? std::move(guessed) : session.newest(wait, paths);
            if (!chosen) {
                session.remember(account, service, std::nullopt);
                return std::nullopt;
            }
            ItemProperties item = std::move(*chosen);
            session.remember(account, service, item.path);
            if (item.locked) {
                // A locked item's attributes may be withheld; read them again once unlocked.
                session.unlock(wait, {item.path});
                item = session.properties(wait, item.path);
            }
            auto state = std::make_shared<SecretServiceItemState>();
            state->path = item.path;
            if (const auto found = item.attributes.find(trustedApplicationsAttribute);
                found != item.attributes.end()) {
                state->trustedApplications = found->second;
            }
            return SecKeychainItem::holding(std::shared_ptr<const SecretServiceItemState>(std::move(state)));
        });
    } catch (const Failure& failure) {
        if (failure.status == errSecItemNotFound) {
            return std::nullopt;
        }
        throw secKeychainError::retrievingKeyData(failure.status, account, service);
    }
}

std::optional<Data> SecKeychainProxy::fetchData(const std::string& account, const std::string& service) {
    try {
        requireText({&account, &service});
        return connection_->perform([&](Session& session, BoundedWait& wait) -> std::optional<Data> {
            auto [paths, guessed] = session.searchGuessing(
                wait, account, service,
                [&](const std::string& path) { return session.beginSecret(wait, path); },
                [&](BoundedWait::Call& call, const std::string&) {
                    return session.finishSecret(wait, call);
                });
            if (guessed && *guessed) {
                return bytesOf(guessed->get());
            }
            if (paths.empty()) {
                session.remember(account, service, std::nullopt);
                return std::nullopt;
            }
            // One match needs no choosing, which spares a round trip per read.
            std::string path = paths.front();
            if (paths.size() > 1) {
                std::optional<ItemProperties> chosen = session.newest(wait, paths);
                if (!chosen) {
                    return std::nullopt;
                }
                path = std::move(chosen->path);
            }
            session.remember(account, service, path);
            const auto read = [&] {
                ValuePtr value = session.secret(wait, path);
                if (!value && session.properties(wait, path).locked) {
                    throw Failure{errSecAuthFailed};
                }
                return value;
            };
            const ValuePtr value = session.unlockingIfLocked(wait, {path}, read);
            if (!value) {
                throw Failure{errSecSuccess};
            }
            return bytesOf(value.get());
        });
    } catch (const Failure& failure) {
        if (failure.status == errSecItemNotFound) {
            return std::nullopt;
        }
        throw secKeychainError::retrievingKeyData(failure.status, account, service);
    }
}

void SecKeychainProxy::deleteItem(const std::string& account, const std::string& service) {
    try {
        requireText({&account, &service});
        connection_->perform([&](Session& session, BoundedWait& wait) {
            // Other clients may have left several; none may remain.
            for (const std::string& path : session.search(wait, account, service)) {
                try {
                    session.unlockingIfLocked(wait, {path}, [&] { session.remove(wait, path); });
                } catch (const Failure& failure) {
                    if (failure.status != errSecItemNotFound) {
                        throw;
                    }
                }
            }
            session.remember(account, service, std::nullopt);
        });
    } catch (const Failure& failure) {
        throw secKeychainError::removingKey(failure.status, account);
    }
}

void SecKeychainProxy::addItem(const std::string& account, const std::string& service,
                               const std::string& name, const std::string& descriptor,
                               const std::vector<std::string>& aclPaths, const Data& data) {
    // A path that names no application ends the add before anything is written.
    const std::vector<Data> blobs = TrustedApplicationIdentity::blobsForPaths(aclPaths);
    try {
        requireText({&account, &service, &name, &descriptor});
        const Attributes attributes{
            {schemaAttribute, schemaName},
            {accountAttribute, account},
            {serviceAttribute, service},
            {descriptorAttribute, descriptor.empty() ? account : descriptor},
            {trustedApplicationsAttribute, encodeTrustedApplications(blobs)},
        };
        connection_->perform([&](Session& session, BoundedWait& wait) {
            // The Secret Service would add a second item beside the first.
            if (!session.search(wait, account, service).empty()) {
                throw Failure{errSecDuplicateItem};
            }
            try {
                session.remember(account, service,
                                 session.unlockingIfLocked(wait, {defaultCollectionPath}, [&] {
                                     return session.create(wait, attributes, name, data);
                                 }));
            } catch (const Failure& failure) {
                if (failure.status == errSecItemNotFound) {
                    throw Failure{status::noSuchKeychain};
                }
                throw;
            }
        });
    } catch (const Failure& failure) {
        throw secKeychainError::savingKeyData(failure.status, account, service);
    }
}

std::vector<Data> SecKeychainProxy::trustedApplicationsData(const SecKeychainItem& item) {
    const auto state = item.stateAs<SecretServiceItemState>();
    if (!state) {
        throw secKeychainError::retrievingAccess(errSecInvalidItemRef);
    }
    if (!state->trustedApplications) {
        return {};  // made by another client: no access record, so no application named
    }
    auto blobs = decodeTrustedApplications(*state->trustedApplications);
    if (!blobs) {
        throw secKeychainError::retrievingAccess(status::decode);
    }
    return std::move(*blobs);
}

std::vector<Data> SecKeychainProxy::trustedApplicationsData(const std::vector<std::string>& paths) {
    return TrustedApplicationIdentity::blobsForPaths(paths);
}

}  // namespace orvane
