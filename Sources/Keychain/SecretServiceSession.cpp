#include "Keychain/SecretServiceSession.hpp"

#include "Platform/GLib/BusConnection.hpp"

#include <algorithm>
#include <atomic>
#include <string_view>
#include <tuple>

namespace orvane::secretservice {

namespace {

constexpr const char* busName = "org.freedesktop.secrets";
constexpr const char* collectionInterface = "org.freedesktop.Secret.Collection";
constexpr const char* itemInterface = "org.freedesktop.Secret.Item";
constexpr const char* secretContentType = "application/octet-stream";

thread_local std::optional<ReadAhead> readAheadOfThisThread;

std::atomic<std::uint64_t> lastSessionIdentity{0};

void unrefVariant(gpointer variant) {
    g_variant_unref(static_cast<GVariant*>(variant));
}

glib::VariantPtr attributesVariant(const Attributes& attributes) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a{ss}"));
    for (const auto& [name, value] : attributes) {
        g_variant_builder_add(&builder, "{ss}", name.c_str(), value.c_str());
    }
    return glib::sinkVariant(g_variant_builder_end(&builder));
}

}  // namespace

const ItemProperties& newestOf(const std::vector<ItemProperties>& items) {
    return *std::max_element(
        items.begin(), items.end(), [](const ItemProperties& lhs, const ItemProperties& rhs) {
            return std::forward_as_tuple(lhs.modified, lhs.created, lhs.path.size(), lhs.path) <
                   std::forward_as_tuple(rhs.modified, rhs.created, rhs.path.size(), rhs.path);
        });
}

// ChangeCount: the signals of the service's connection `owner` seen so far.
// Counted by a filter, which GDBus runs on its worker thread for each message
// in the order they arrive, so a signal is counted before any reply that
// arrived after it is handed to its caller.
struct Session::ChangeCount {
    std::atomic<std::uint64_t> signals{0};
    std::string owner;
};

GDBusMessage* Session::countChange(GDBusConnection*, GDBusMessage* message, gboolean incoming,
                                   gpointer data) {
    auto* changes = static_cast<ChangeCount*>(data);
    const char* sender = g_dbus_message_get_sender(message);
    if (incoming && g_dbus_message_get_message_type(message) == G_DBUS_MESSAGE_TYPE_SIGNAL &&
        sender != nullptr && changes->owner == sender) {
        ++changes->signals;
    }
    return message;
}

void Session::freeChangeCount(gpointer data) {
    delete static_cast<ChangeCount*>(data);
}

void Session::ignoreSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                           GVariant*, gpointer) {}

// watchChanges: asks the bus for every signal of the service, and counts them.
void Session::watchChanges() {
    changes_ = new ChangeCount();
    changes_->owner = owner_.get();
    changesFilter_ =
        g_dbus_connection_add_filter(connection_, &Session::countChange, changes_, &Session::freeChangeCount);
    // The subscription is what makes the bus send them; the bus applies it
    // before it passes on any later message of ours, so a change the service
    // makes after our next request reaches us.
    changesSubscription_ = g_dbus_connection_signal_subscribe(connection_, owner_.get(), nullptr, nullptr,
                                                              nullptr, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                                              &Session::ignoreSignal, nullptr, nullptr);
}

std::uint64_t Session::changesSeen() const {
    return changes_->signals.load();
}

bool Session::unchangedSince(BoundedWait& wait, std::uint64_t changes) {
    auto done =
        finished(wait.run([&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
            g_dbus_connection_call(connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus.Peer", "Ping", nullptr, G_VARIANT_TYPE_UNIT,
                                   G_DBUS_CALL_FLAGS_NONE, G_MAXINT, cancellable, callback, data);
        }));
    GError* error = nullptr;
    const glib::VariantPtr reply(g_dbus_connection_call_finish(connection_, done.get(), &error));
    if (!reply) {
        fail(error, wait);
    }
    return changesSeen() == changes;
}

Session::Session() : home_(g_main_context_new()), identity_(++lastSessionIdentity) {}

Session::~Session() {
    if (changesSubscription_ != 0) {
        g_dbus_connection_signal_unsubscribe(connection_, changesSubscription_);
    }
    if (changesFilter_ != 0) {
        g_dbus_connection_remove_filter(connection_, changesFilter_);
    }
    // Releasing the proxy ends its signal subscriptions, whose data GDBus
    // frees from an idle in `home`.
    service_.reset();
    drainHome();
}

std::shared_ptr<Session> Session::open(Clock::time_point deadline) {
    auto session = std::shared_ptr<Session>(new Session());
    // The proxy's bookkeeping (property and name-owner changes) is
    // delivered to `home`, which Connection drains before each use.
    BoundedWait wait(session->home_.get(), deadline);

    // A proxy of our own rather than libsecret's shared one, so that dropping
    // it after a failure affects nobody else. libsecret builds its proxy over
    // GLib's session-bus connection and cannot take another, so this is the
    // one client of the library that does not use a private connection;
    // Connection has checked that there is a bus to find.
    auto opened = finished(wait.run([&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
        secret_service_open(SECRET_TYPE_SERVICE, nullptr, SECRET_SERVICE_NONE, cancellable, callback, data);
    }));
    GError* error = nullptr;
    SecretService* service = secret_service_open_finish(opened.get(), &error);
    if (service == nullptr) {
        fail(error, wait);
    }
    session->service_.reset(service);
    session->connection_ = g_dbus_proxy_get_connection(G_DBUS_PROXY(service));

    // Opening the transfer session is the first message to the service
    // itself, so a bus without a Secret Service fails here.
    auto ensured = finished(wait.run([&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
        secret_service_ensure_session(session->service_.get(), cancellable, callback, data);
    }));
    if (!secret_service_ensure_session_finish(session->service_.get(), ensured.get(), &error)) {
        fail(error, wait);
    }
    session->owner_.reset(g_dbus_proxy_get_name_owner(G_DBUS_PROXY(service)));
    if (!session->owner_) {
        throw Failure{errSecNotAvailable};
    }
    session->watchChanges();
    return session;
}

// usable: whether the connection is open and the service that holds our
// transfer session still owns the bus name; a restarted service knows
// nothing of the session.
bool Session::usable() const {
    if (g_dbus_connection_is_closed(connection_)) {
        return false;
    }
    const glib::StringPtr owner(g_dbus_proxy_get_name_owner(G_DBUS_PROXY(service_.get())));
    return owner && owner_ && std::string_view(owner.get()) == owner_.get();
}

// drainHome: lets the proxy see what happened on the bus since the last call.
void Session::drainHome() {
    if (g_main_context_acquire(home_.get())) {
        while (g_main_context_iteration(home_.get(), FALSE)) {
        }
        g_main_context_release(home_.get());
    }
}

BoundedWait::Call Session::beginSearch(BoundedWait& wait, const std::string& account, const std::string& service) {
    const glib::VariantPtr query =
        attributesVariant({{accountAttribute, account}, {serviceAttribute, service}});
    return wait.begin([&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
        g_dbus_connection_call(connection_, busName, defaultCollectionPath, collectionInterface,
                               "SearchItems", g_variant_new("(@a{ss})", query.get()),
                               G_VARIANT_TYPE("(ao)"), G_DBUS_CALL_FLAGS_NONE, G_MAXINT, cancellable,
                               callback, data);
    });
}

std::vector<std::string> Session::finishSearch(BoundedWait& wait, BoundedWait::Call& call) {
    auto done = finished(wait.finish(call));
    GError* error = nullptr;
    const glib::VariantPtr reply(g_dbus_connection_call_finish(connection_, done.get(), &error));
    if (!reply) {
        const glib::ErrorPtr owned(error);
        const OSStatus code = statusOf(owned.get(), wait);
        // A service without a default collection has no items for us; one that
        // does not know the search at all is not an empty one.
        if (code == errSecItemNotFound || (code == status::unimplemented && !hasDefaultCollection(wait))) {
            return {};
        }
        throw Failure{code};
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
ItemProperties Session::properties(BoundedWait& wait, const std::string& path) {
    BoundedWait::Call call = beginProperties(wait, path);
    return finishProperties(wait, call, path);
}

BoundedWait::Call Session::beginProperties(BoundedWait& wait, const std::string& path) {
    return wait.begin([&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
        g_dbus_connection_call(connection_, busName, path.c_str(), "org.freedesktop.DBus.Properties",
                               "GetAll", g_variant_new("(s)", itemInterface), G_VARIANT_TYPE("(a{sv})"),
                               G_DBUS_CALL_FLAGS_NONE, G_MAXINT, cancellable, callback, data);
    });
}

ItemProperties Session::finishProperties(BoundedWait& wait, BoundedWait::Call& call, const std::string& path) {
    auto done = finished(wait.finish(call));
    GError* error = nullptr;
    const glib::VariantPtr reply(g_dbus_connection_call_finish(connection_, done.get(), &error));
    if (!reply) {
        fail(error, wait);
    }
    ItemProperties item;
    item.path = path;
    const glib::VariantPtr all(g_variant_get_child_value(reply.get(), 0));
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
ValuePtr Session::secret(BoundedWait& wait, const std::string& path) {
    BoundedWait::Call call = beginSecret(wait, path);
    return finishSecret(wait, call);
}

BoundedWait::Call Session::beginSecret(BoundedWait& wait, const std::string& path) {
    return wait.begin([&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
        secret_service_get_secret_for_dbus_path(service_.get(), path.c_str(), cancellable, callback,
                                                data);
    });
}

ValuePtr Session::finishSecret(BoundedWait& wait, BoundedWait::Call& call) {
    auto done = finished(wait.finish(call));
    GError* error = nullptr;
    ValuePtr value(secret_service_get_secret_for_dbus_path_finish(service_.get(), done.get(), &error));
    if (error != nullptr) {
        fail(error, wait);
    }
    return value;
}

// unlock: unlocks the objects at `paths`, prompting if the service must;
// fails with errSecAuthFailed unless all of them end up unlocked.
void Session::unlock(BoundedWait& wait, const std::vector<std::string>& paths) {
    std::vector<const gchar*> list;
    for (const std::string& path : paths) {
        list.push_back(path.c_str());
    }
    list.push_back(nullptr);
    auto done = finished(
        wait.run([&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
            secret_service_unlock_dbus_paths(service_.get(), list.data(), cancellable, callback, data);
        }),
        errSecAuthFailed);
    GError* error = nullptr;
    gchar** unlocked = nullptr;
    const gint count =
        secret_service_unlock_dbus_paths_finish(service_.get(), done.get(), &unlocked, &error);
    const glib::StrvPtr owned(unlocked);
    if (error != nullptr) {
        fail(error, wait, true);
    }
    if (count < std::ssize(paths)) {
        throw Failure{errSecAuthFailed};
    }
}

bool Session::hasDefaultCollection(BoundedWait& wait) {
    auto done = finished(wait.run([&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
        g_dbus_connection_call(connection_, busName, "/org/freedesktop/secrets", "org.freedesktop.Secret.Service",
                               "ReadAlias", g_variant_new("(s)", "default"), G_VARIANT_TYPE("(o)"),
                               G_DBUS_CALL_FLAGS_NONE, G_MAXINT, cancellable, callback, data);
    }));
    GError* error = nullptr;
    const glib::VariantPtr reply(g_dbus_connection_call_finish(connection_, done.get(), &error));
    if (!reply) {
        fail(error, wait);
    }
    const gchar* path = nullptr;
    g_variant_get(reply.get(), "(&o)", &path);
    return std::string_view(path) != "/";
}

bool Session::lists(BoundedWait& wait, const std::string& account, const std::string& service,
                    const std::string& path) {
    const std::vector<std::string> paths = search(wait, account, service);
    return std::find(paths.begin(), paths.end(), path) != paths.end();
}

// newest: the properties of the item that every operation picks among
// `paths`, skipping any that vanished since the search; nothing when all did.
std::optional<ItemProperties> Session::newest(BoundedWait& wait, const std::string& account,
                                              const std::string& service, const std::vector<std::string>& paths) {
    std::vector<ItemProperties> items;
    for (const std::string& path : paths) {
        try {
            items.push_back(whileListed(wait, account, service, path, [&] { return properties(wait, path); }));
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

void Session::remove(BoundedWait& wait, const std::string& path) {
    auto done = finished(wait.run([&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
        secret_service_delete_item_dbus_path(service_.get(), path.c_str(), cancellable, callback, data);
    }));
    GError* error = nullptr;
    if (!secret_service_delete_item_dbus_path_finish(service_.get(), done.get(), &error)) {
        fail(error, wait);
    }
}

void Session::remember(const std::string& account, const std::string& service,
                       std::optional<std::string> path, std::optional<std::uint64_t> searchedAt) {
    const std::lock_guard lock(hintsMutex_);
    auto key = std::make_pair(account, service);
    if (!path) {
        hints_.erase(key);
        return;
    }
    if (hints_.size() >= maximumHints && !hints_.contains(key)) {
        hints_.clear();
    }
    hints_.insert_or_assign(std::move(key), Hint{std::move(*path), searchedAt});
}

std::optional<Session::Hint> Session::lastFound(const std::string& account, const std::string& service) {
    const std::lock_guard lock(hintsMutex_);
    const auto found = hints_.find(std::make_pair(account, service));
    if (found == hints_.end()) {
        return std::nullopt;
    }
    return found->second;
}

void keepReadAhead(ReadAhead readAhead) {
    readAheadOfThisThread = std::move(readAhead);
}

std::optional<ReadAhead> takeReadAhead() {
    return std::exchange(readAheadOfThisThread, std::nullopt);
}

std::shared_ptr<Session> Connection::acquire(Clock::time_point deadline) {
    const std::lock_guard lock(mutex_);
    if (current_) {
        current_->drainHome();
        if (current_->usable()) {
            return current_;
        }
    }
    current_.reset();
    // GLib looks for the session bus where busAddress does, but would launch
    // one when it finds none; we never do.
    if (!glib::busAddress(glib::Bus::session)) {
        throw Failure{errSecNotAvailable};
    }
    current_ = Session::open(deadline);
    return current_;
}

void Connection::drop(const std::shared_ptr<Session>& session) {
    const std::lock_guard lock(mutex_);
    if (current_ == session) {
        current_.reset();
    }
}

// search: the paths of the default collection's items with this account
// and service, whoever made them. No default collection means no items.
std::vector<std::string> Session::search(BoundedWait& wait, const std::string& account,
                                const std::string& service) {
    BoundedWait::Call call = beginSearch(wait, account, service);
    return finishSearch(wait, call);
}

// create: a new item in the default collection, whose path it returns;
// never replaces one.
std::string Session::create(BoundedWait& wait, const Attributes& attributes, const std::string& label,
                   const Data& data) {
    const glib::HashTablePtr properties(g_hash_table_new_full(g_str_hash, g_str_equal, nullptr, &unrefVariant));
    g_hash_table_insert(properties.get(), const_cast<gchar*>("org.freedesktop.Secret.Item.Label"),
                        g_variant_ref_sink(g_variant_new_string(label.c_str())));
    g_hash_table_insert(properties.get(), const_cast<gchar*>("org.freedesktop.Secret.Item.Attributes"),
                        attributesVariant(attributes).release());
    // libsecret copies the bytes into its own wiped memory; an empty
    // secret still needs a non-null pointer.
    const auto* bytes = data.empty() ? "" : reinterpret_cast<const gchar*>(data.data());
    const ValuePtr value(secret_value_new(bytes, static_cast<gssize>(data.size()), secretContentType));
    auto done = finished(wait.run([&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer userData) {
        secret_service_create_item_dbus_path(service_.get(), defaultCollectionPath, properties.get(),
                                             value.get(), SECRET_ITEM_CREATE_NONE, cancellable, callback,
                                             userData);
    }));
    GError* error = nullptr;
    const glib::StringPtr path(secret_service_create_item_dbus_path_finish(service_.get(), done.get(), &error));
    if (error != nullptr) {
        fail(error, wait);
    }
    if (!path) {
        throw Failure{errSecSuccess};
    }
    return path.get();
}

}  // namespace orvane::secretservice
