#include "Platform/GLib/BusConnection.hpp"

#include "Support/ScopedEnvironment.hpp"
#include "Support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

namespace {

using orvane::glib::Bus;
using orvane::glib::busAddress;
using testsupport::ScopedEnvironment;

// A listening-capable unix socket bound at `path`, as a bus daemon leaves one.
class BoundSocket {
public:
    explicit BoundSocket(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
        bound_ = ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~BoundSocket() { ::close(fd_); }
    bool bound() const { return bound_; }

private:
    int fd_;
    bool bound_ = false;
};

TEST(BusConnectionTest, theSessionBusIsTheNamedOneElseTheUsersSocketAndNeverAnAutolaunch) {
    testsupport::TemporaryFolder runtime;
    const std::string socketPath = (runtime.path() / "bus").string();
    const BoundSocket socket(socketPath);
    ASSERT_TRUE(socket.bound());

    {
        const ScopedEnvironment env({{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/elsewhere"},
                                     {"XDG_RUNTIME_DIR", runtime.path().string()}});
        EXPECT_EQ(busAddress(Bus::session), "unix:path=/elsewhere");
    }
    for (const char* unnamed : {static_cast<const char*>(nullptr), ""}) {
        const ScopedEnvironment env(
            {{"DBUS_SESSION_BUS_ADDRESS", unnamed ? std::optional<std::string>(unnamed) : std::nullopt},
             {"XDG_RUNTIME_DIR", runtime.path().string()}});
        EXPECT_EQ(busAddress(Bus::session), "unix:path=" + socketPath);
    }
    {
        const ScopedEnvironment env({{"DBUS_SESSION_BUS_ADDRESS", "autolaunch:"},
                                     {"XDG_RUNTIME_DIR", runtime.path().string()}});
        EXPECT_EQ(busAddress(Bus::session), std::nullopt);
    }
}

TEST(BusConnectionTest, aRuntimeFolderWithoutABusSocketGivesNoSessionBus) {
    testsupport::TemporaryFolder runtime;
    std::ofstream(runtime.path() / "bus") << "not a socket";
    for (const std::optional<std::string>& folder :
         {std::optional<std::string>(runtime.path().string()), std::optional<std::string>(), std::optional<std::string>("/nonexistent")}) {
        const ScopedEnvironment env({{"DBUS_SESSION_BUS_ADDRESS", std::nullopt}, {"XDG_RUNTIME_DIR", folder}});
        EXPECT_EQ(busAddress(Bus::session), std::nullopt);
    }
}

TEST(BusConnectionTest, theSystemBusIsTheNamedOneElseTheStandardSocket) {
    {
        const ScopedEnvironment env({{"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/tmp/private-system"}});
        EXPECT_EQ(busAddress(Bus::system), "unix:path=/tmp/private-system");
    }
    const ScopedEnvironment env({{"DBUS_SYSTEM_BUS_ADDRESS", std::nullopt}});
    EXPECT_EQ(busAddress(Bus::system), "unix:path=/var/run/dbus/system_bus_socket");
}

}  // namespace
