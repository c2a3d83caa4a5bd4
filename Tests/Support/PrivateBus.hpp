// PrivateBus: a dbus-daemon of the test's own, listening in a temporary
// folder, so that no test reaches the machine's own session or system bus.
// Anyone on it may own any name and send anything; services can be made
// activatable by writing .service files into serviceFolder() and reloading.
//
//   testsupport::PrivateBus bus(testsupport::PrivateBus::Kind::system);
//   ASSERT_FALSE(bus.address().empty());
//   ChildProcess fake({"python3", "-m", "dbusmock", "--system", ...},
//                     {"DBUS_SYSTEM_BUS_ADDRESS=" + bus.address()});
//   ASSERT_TRUE(bus.waitForOwner("org.example.Service"));
#pragma once

#include "Support/ChildProcess.hpp"
#include "Support/TemporaryFolder.hpp"

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

class PrivateBus {
public:
    enum class Kind { session, system };

    explicit PrivateBus(Kind kind);

    // The bus address; empty when dbus-daemon did not start.
    const std::string& address() const { return address_; }
    std::filesystem::path serviceFolder() const { return folder_.path() / "services"; }

    // call: one `gdbus call` on this bus (an independent client); its printed
    // reply, "" on failure.
    std::string call(const std::string& destination, const std::string& objectPath, const std::string& method,
                     const std::vector<std::string>& arguments = {}) const;
    bool hasOwner(const std::string& name) const;
    // waitForOwner: whether `name` gets an owner within `seconds`.
    bool waitForOwner(const std::string& name, int seconds = 30) const;
    // Re-reads the configuration, and with it the activatable services.
    void reloadConfiguration() const;

private:
    TemporaryFolder folder_;
    ChildProcess daemon_;
    std::string address_;
};

}  // namespace testsupport
