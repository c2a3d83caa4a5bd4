#include "Support/PrivateBus.hpp"

#include <fstream>

namespace testsupport {

namespace {

std::string configuration(PrivateBus::Kind kind, const std::filesystem::path& folder) {
    std::filesystem::create_directory(folder / "services");
    const auto file = folder / "bus.conf";
    std::ofstream(file) << "<busconfig><type>" << (kind == PrivateBus::Kind::system ? "system" : "session")
                        << "</type><listen>unix:dir=" << folder.string() << "</listen><servicedir>"
                        << (folder / "services").string()
                        << "</servicedir><auth>EXTERNAL</auth><policy context=\"default\">"
                           "<allow user=\"*\"/><allow own=\"*\"/><allow send_destination=\"*\"/>"
                           "<allow receive_sender=\"*\"/></policy></busconfig>\n";
    return file.string();
}

}  // namespace

PrivateBus::PrivateBus(Kind kind)
    : daemon_({"dbus-daemon", "--nofork", "--nopidfile", "--config-file=" + configuration(kind, folder_.path()),
               "--print-address=1"},
              {}, ChildProcess::Output::capture),
      address_(daemon_.readLine().value_or("")) {}

std::string PrivateBus::call(const std::string& destination, const std::string& objectPath,
                             const std::string& method, const std::vector<std::string>& arguments) const {
    std::vector<std::string> command = {"gdbus", "call", "--address", address_, "--dest", destination,
                                        "--object-path", objectPath, "--method", method};
    command.insert(command.end(), arguments.begin(), arguments.end());
    ChildProcess gdbus(command, {}, ChildProcess::Output::capture);
    std::string reply = gdbus.readAll();
    return gdbus.wait() == 0 ? reply : "";
}

bool PrivateBus::hasOwner(const std::string& name) const {
    return call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", {name})
        .starts_with("(true,)");
}

bool PrivateBus::waitForOwner(const std::string& name, int seconds) const {
    return run({"gdbus", "wait", "--address", address_, "--timeout", std::to_string(seconds), name}) == 0;
}

void PrivateBus::reloadConfiguration() const {
    call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus.ReloadConfig");
}

}  // namespace testsupport
