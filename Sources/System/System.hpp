// System: five facts about the machine and the user the process runs for.
// A namespace without instances or state: each getter reads the operating
// system afresh on every call, so a change (a new user record, an upgraded
// distribution) shows at the next call. No getter fails.
//
// Where each fact comes from on Linux:
//
//   hardwareModel      /sys/class/dmi/id/product_name, else the device tree's
//                      model (/sys/firmware/devicetree/base/model), else "".
//                      The first file that can be read decides; its text up
//                      to the first NUL, less sysfs's trailing newline, with
//                      ill-formed UTF-8 replaced by U+FFFD.
//   osVersion          VERSION_ID of /etc/os-release (or of /usr/lib/os-release
//                      when the first is missing), else the kernel release
//                      from uname(2), as three dot-joined numbers: "12" gives
//                      "12.0.0", "22.04" gives "22.4.0"; "0.0.0" when neither
//                      holds a number.
//   shortSerialNumber  the last seven characters (grapheme clusters, not
//                      bytes) of /sys/class/dmi/id/product_serial, else of the
//                      device tree's serial-number; nothing when neither can
//                      be read. The DMI serial is readable by root only, so
//                      an ordinary user gets nothing. /etc/machine-id is never
//                      used: it is an identifier its own documentation asks
//                      to keep confidential, not a serial.
//   homeFolder         the home-directory field of the user record of
//                      getuid() (getpwuid_r, so NSS modules such as LDAP or
//                      systemd-homed answer too), when present and valid
//                      UTF-8; else $HOME on the same terms; else "/".
//   userName           the login name of that record; else $LOGNAME, else
//                      $USER; else "".
//
// The environment is read with secure_getenv, so a set-user-ID program never
// takes HOME or USER from its caller.
//
// Thread safety: any thread may call any getter at any time; none takes a
// lock, each is a few independent reads (getpwuid_r, never getpwuid or
// getlogin). Do not call setenv in parallel with homeFolder or userName.
//
//   std::cout << orvane::System::hardwareModel() << " running " << orvane::System::osVersion();
//   if (auto serial = orvane::System::shortSerialNumber()) std::cout << " #" << *serial;
#pragma once

#include <optional>
#include <string>

namespace orvane {

struct System {
    System() = delete;

    static std::string hardwareModel();
    static std::string osVersion();
    static std::optional<std::string> shortSerialNumber();
    static std::string homeFolder();
    static std::string userName();
};

}  // namespace orvane
