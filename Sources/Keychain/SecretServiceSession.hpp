// SecretServiceSession: the Secret Service adaptor's side of the bus. Internal
// to SecKeychainProxy.
//
// Session: the session bus connection with the Secret Service
// proxy and its transfer session, and the exchanges the operations are made
// of (search, properties, secret, unlock, create, delete). Made on the thread
// and under the lock of Connection; afterwards used by any thread, each call
// inside the caller's own BoundedWait.
//
// Connection: where to find the bus, the bound of each call, and the session
// kept between calls; a session whose service went away or restarted is
// replaced at the next call.
#pragma once

#include "Keychain/SecretServiceItem.hpp"
#include "Keychain/SecretServiceStatus.hpp"

// libsecret's object-path functions (unlock, get, create and delete by path)
// let each step be one round trip to the service. libsecret marks them
// unstable, so a libsecret upgrade deserves a run of the integration tests.
#define SECRET_API_SUBJECT_TO_CHANGE
#include <libsecret/secret.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace orvane::secretservice {

using glib::BoundedWait;
using Clock = BoundedWait::Clock;

inline constexpr const char* schemaAttribute = "xdg:schema";
inline constexpr const char* schemaName = "com.orvane.GenericPassword";
inline constexpr const char* accountAttribute = "account";
inline constexpr const char* serviceAttribute = "service";
inline constexpr const char* descriptorAttribute = "access-descriptor";
inline constexpr const char* trustedApplicationsAttribute = "trusted-applications";
// The alias path of the default collection; the service resolves it.
inline constexpr const char* defaultCollectionPath = "/org/freedesktop/secrets/aliases/default";

struct ValueUnref {
    void operator()(SecretValue* value) const noexcept { secret_value_unref(value); }
};
using ValuePtr = std::unique_ptr<SecretValue, ValueUnref>;

// ReadAhead: a secret read together with the item under this account and
// service, with what the session had seen of the service's changes before
// it asked (Session::changesSeen).
struct ReadAhead {
    std::uint64_t session = 0;
    std::uint64_t changes = 0;
    std::string account;
    std::string service;
    Data secret;
};

// keepReadAhead keeps one per thread for the thread's next call to take;
// takeReadAhead hands it over (or nothing) and forgets it.
void keepReadAhead(ReadAhead readAhead);
std::optional<ReadAhead> takeReadAhead();

class Session {
public:
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session();

    static std::shared_ptr<Session> open(Clock::time_point deadline);

    bool usable() const;
    void drainHome();

    std::uint64_t identity() const { return identity_; }

    // changesSeen: how many signals of the service this session has received.
    // The service signals every change to an item or collection before it
    // answers the call that made it, and the bus passes on each sender's
    // messages in order, so the signal of a call that has finished is queued
    // for us before the bus answers anything we ask after that.
    std::uint64_t changesSeen() const;

    // unchangedSince: whether no signal of the service came since `changes`
    // was seen, judged after one round trip to the bus itself (a Ping): no
    // change whose call finished before this one started is missed.
    bool unchangedSince(BoundedWait& wait, std::uint64_t changes);

    std::vector<std::string> search(BoundedWait& wait, const std::string& account, const std::string& service);
    BoundedWait::Call beginSearch(BoundedWait& wait, const std::string& account, const std::string& service);
    std::vector<std::string> finishSearch(BoundedWait& wait, BoundedWait::Call& call);

    ItemProperties properties(BoundedWait& wait, const std::string& path);
    BoundedWait::Call beginProperties(BoundedWait& wait, const std::string& path);
    ItemProperties finishProperties(BoundedWait& wait, BoundedWait::Call& call, const std::string& path);

    ValuePtr secret(BoundedWait& wait, const std::string& path);
    BoundedWait::Call beginSecret(BoundedWait& wait, const std::string& path);
    ValuePtr finishSecret(BoundedWait& wait, BoundedWait::Call& call);

    void unlock(BoundedWait& wait, const std::vector<std::string>& paths);

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

    // whileListed: `attempt()` on the item at `path`, found under this account
    // and service. When the service answers that it knows no such object, the
    // item counts as missing (errSecItemNotFound) only if a new search no
    // longer lists it; otherwise that answer is the service's failure.
    template <class Attempt>
    auto whileListed(BoundedWait& wait, const std::string& account, const std::string& service,
                     const std::string& path, Attempt&& attempt) {
        try {
            return attempt();
        } catch (const Failure& failure) {
            if (failure.status == status::unimplemented && !lists(wait, account, service, path)) {
                throw Failure{errSecItemNotFound};
            }
            throw;
        }
    }

    // hasDefaultCollection: whether the service names a default collection.
    bool hasDefaultCollection(BoundedWait& wait);

    std::optional<ItemProperties> newest(BoundedWait& wait, const std::string& account, const std::string& service,
                                         const std::vector<std::string>& paths);
    void remove(BoundedWait& wait, const std::string& path);
    std::string create(BoundedWait& wait, const Attributes& attributes, const std::string& label,
                       const Data& data);

    // Found: what searchGuessing learned. `searchedAt` is the count of changes
    // seen before a search that found exactly one item, for remember().
    template <class Result>
    struct Found {
        std::vector<std::string> paths;
        std::optional<Result> guess;
        std::optional<std::uint64_t> searchedAt;
    };

    // searchGuessing: the search for this account and service, sent together
    // with the calls `begin(path)` makes for the item last found under them,
    // so that all the answers take one wait. The guess, `finish(calls, path)`,
    // is kept only when the search found exactly that item and `finish`
    // succeeded; otherwise the caller goes on from the paths as if nothing
    // was guessed. When the service has signalled no change since the search
    // that found only that item, that search still holds and is not sent.
    template <class Begin, class Finish>
    auto searchGuessing(BoundedWait& wait, const std::string& account, const std::string& service,
                        Begin&& begin, Finish&& finish) {
        using Calls = std::invoke_result_t<Begin, const std::string&>;
        using Result = std::invoke_result_t<Finish, Calls&, const std::string&>;
        Found<Result> outcome;
        const std::optional<Hint> hinted = lastFound(account, service);
        if (hinted && hinted->searchedAt == changesSeen()) {
            try {
                Calls guessing = begin(hinted->path);
                Result guess = finish(guessing, hinted->path);
                // The replies come after the signal of any change made before they were asked for.
                if (changesSeen() == hinted->searchedAt) {
                    outcome.paths = {hinted->path};
                    outcome.guess = std::move(guess);
                    outcome.searchedAt = hinted->searchedAt;
                    return outcome;
                }
            } catch (const Failure&) {
                if (wait.expired()) {
                    throw;
                }
                // A locked or vanished item: asked again below, with the search.
            }
        }
        const std::uint64_t before = changesSeen();
        if (!hinted) {
            outcome.paths = search(wait, account, service);
        } else {
            BoundedWait::Call searching = beginSearch(wait, account, service);
            Calls guessing = begin(hinted->path);
            outcome.paths = finishSearch(wait, searching);
            try {
                Result guess = finish(guessing, hinted->path);
                if (outcome.paths.size() == 1 && outcome.paths.front() == hinted->path) {
                    outcome.guess = std::move(guess);
                }
            } catch (const Failure&) {
                // A vanished or locked item: the caller asks again and handles what it finds.
            }
        }
        if (outcome.paths.size() == 1) {
            outcome.searchedAt = before;
        }
        return outcome;
    }

    // remember: where this account and service was found (none: not found),
    // by a search made when `searchedAt` changes had been seen, if known.
    void remember(const std::string& account, const std::string& service, std::optional<std::string> path,
                  std::optional<std::uint64_t> searchedAt = std::nullopt);

private:
    // Hints beyond this many are dropped all at once; a missing hint costs one wait.
    static constexpr std::size_t maximumHints = 256;

    struct ChangeCount;

    Session();
    void watchChanges();
    static GDBusMessage* countChange(GDBusConnection* connection, GDBusMessage* message, gboolean incoming,
                                     gpointer data);
    static void freeChangeCount(gpointer data);
    static void ignoreSignal(GDBusConnection* connection, const gchar* sender, const gchar* path,
                             const gchar* interface, const gchar* signal, GVariant* parameters,
                             gpointer data);

    struct Hint {
        std::string path;
        std::optional<std::uint64_t> searchedAt;
    };
    std::optional<Hint> lastFound(const std::string& account, const std::string& service);
    bool lists(BoundedWait& wait, const std::string& account, const std::string& service, const std::string& path);

    glib::ContextPtr home_;
    glib::ObjectPtr<SecretService> service_;
    GDBusConnection* connection_ = nullptr;  // the service proxy's
    glib::StringPtr owner_;  // the unique bus name of the service at opening
    const std::uint64_t identity_;    // never reused, unlike an address
    ChangeCount* changes_ = nullptr;  // freed by the connection when its filter is gone
    guint changesFilter_ = 0;
    guint changesSubscription_ = 0;
    // Where each account and service was last found: a guess to check, never an answer.
    std::mutex hintsMutex_;
    std::map<std::pair<std::string, std::string>, Hint> hints_;  // guarded by hintsMutex_
};

class Connection {
public:
    explicit Connection(std::chrono::milliseconds timeout) : timeout_(timeout) {}

    std::chrono::milliseconds timeout() const { return timeout_; }

    // perform: runs `body(session, wait)` within one call's bound, opening
    // the session first if there is none. A session that turns out to be
    // unreachable is dropped, so the next call opens a new one. A secret
    // this thread read ahead is forgotten first.
    template <class Body>
    auto perform(Body&& body) {
        takeReadAhead();
        const auto deadline = Clock::now() + timeout_;
        const std::shared_ptr<Session> session = acquire(deadline);
        try {
            const glib::ContextPtr context(g_main_context_new());
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
    std::shared_ptr<Session> acquire(Clock::time_point deadline);
    void drop(const std::shared_ptr<Session>& session);

    const std::chrono::milliseconds timeout_;
    std::mutex mutex_;
    std::shared_ptr<Session> current_;  // guarded by mutex_
};

}  // namespace orvane::secretservice
