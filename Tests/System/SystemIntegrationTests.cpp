// The real reading paths of System against fake files: the sysfs, device-tree
// and os-release files in a private mount namespace (root only), and user
// records through nss_wrapper in a child process.
#include "FactsRecord.hpp"
#include "Support/TemporaryFolder.hpp"
#include "System/System.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using systemtests::Facts;
using systemtests::parseFactsRecord;

constexpr int setupFailed = 77;

void writeFile(const fs::path& path, const std::string& bytes, fs::perms permissions = fs::perms(0644)) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    fs::permissions(path, permissions);
}

bool writeAll(int descriptor, const std::string& bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        const ssize_t count = ::write(descriptor, bytes.data() + at, bytes.size() - at);
        if (count <= 0) {
            return false;
        }
        at += static_cast<std::size_t>(count);
    }
    return true;
}

struct ChildOutcome {
    int status = -1;  // the exit status, or -1 when the child did not exit
    std::string output;
};

// Forks; the child runs `child` with the write end of a pipe and exits with
// what it returns. The test binary runs no other thread, so the child may
// allocate.
ChildOutcome runChild(const std::function<int(int output)>& child) {
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        return {};
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipe[0]);
        ::_exit(child(pipe[1]));
    }
    ::close(pipe[1]);
    ChildOutcome outcome;
    char chunk[4096];
    for (ssize_t count; (count = ::read(pipe[0], chunk, sizeof chunk)) != 0;) {
        if (count > 0) {
            outcome.output.append(chunk, static_cast<std::size_t>(count));
        } else if (errno != EINTR) {
            break;
        }
    }
    ::close(pipe[0]);
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
        outcome.status = WEXITSTATUS(status);
    }
    return outcome;
}

struct Bind {
    fs::path source;
    const char* target;
};

// What `body` returns when run in a child with its own mount namespace in
// which each bind is made (then as user `runAs`, when given); nothing when
// the namespace cannot be made.
std::optional<std::string> inPrivateMounts(const std::vector<Bind>& binds, const std::function<std::string()>& body,
                                           std::optional<uid_t> runAs = std::nullopt) {
    const ChildOutcome outcome = runChild([&](int output) {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            return setupFailed;
        }
        for (const Bind& bind : binds) {
            if (::mount(bind.source.c_str(), bind.target, nullptr, MS_BIND, nullptr) != 0) {
                return setupFailed;
            }
        }
        if (runAs && (::setgid(*runAs) != 0 || ::setuid(*runAs) != 0)) {
            return setupFailed;
        }
        return writeAll(output, body()) ? 0 : 1;
    });
    if (outcome.status == setupFailed) {
        return std::nullopt;
    }
    EXPECT_EQ(outcome.status, 0);
    return outcome.output;
}

// A fake machine: files under a temporary folder that replace /sys/class,
// /sys/firmware and the os-release files. Absent optionals leave files out.
struct Machine {
    std::optional<std::string> productName, productSerial, deviceTreeModel, deviceTreeSerial;
    std::optional<std::string> etcOsRelease;  // nothing hides all of /etc
    std::optional<std::string> usrLibOsRelease;
};

// Shapes of the uname fallback: three numbers, the first the kernel's major.
void expectKernelVersion(const std::string& version) {
    utsname names{};
    ASSERT_EQ(::uname(&names), 0);
    const std::string major = std::to_string(std::atoi(names.release));
    EXPECT_TRUE(version.starts_with(major + ".")) << version << " for kernel " << names.release;
    EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 2) << version;
}

class SystemInPrivateMounts : public testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "needs root to make a private mount namespace";
        }
        fs::permissions(folder.path(), fs::perms(0755));
    }

    // Lays out `machine` and returns the binds that put it in place.
    std::vector<Bind> install(const Machine& machine) {
        const fs::path root = folder.path();
        fs::create_directories(root / "class");
        fs::create_directories(root / "firmware");
        fs::create_directories(root / "etc");
        const auto put = [&](const std::optional<std::string>& bytes, const fs::path& path, fs::perms permissions) {
            if (bytes) {
                writeFile(root / path, *bytes, permissions);
            }
        };
        put(machine.productName, "class/dmi/id/product_name", fs::perms(0444));
        put(machine.productSerial, "class/dmi/id/product_serial", fs::perms(0400));
        put(machine.deviceTreeModel, "firmware/devicetree/base/model", fs::perms(0444));
        put(machine.deviceTreeSerial, "firmware/devicetree/base/serial-number", fs::perms(0444));
        std::vector<Bind> binds{{root / "class", "/sys/class"}, {root / "firmware", "/sys/firmware"}};
        if (machine.etcOsRelease) {
            writeFile(root / "os-release", *machine.etcOsRelease);
            binds.push_back({root / "os-release", "/etc/os-release"});
        } else {
            binds.push_back({root / "etc", "/etc"});
        }
        if (machine.usrLibOsRelease) {
            writeFile(root / "usr-lib-os-release", *machine.usrLibOsRelease);
            binds.push_back({root / "usr-lib-os-release", "/usr/lib/os-release"});
        }
        return binds;
    }

    testsupport::TemporaryFolder folder;
};

TEST_F(SystemInPrivateMounts, readsModelVersionAndSerialFromTheirFiles) {
    const std::string kernel = "(kernel)";
    const struct {
        const char* name;
        Machine machine;
        std::string model, version;
        std::optional<std::string> serial;
    } cases[] = {
        {"DMI, serial of 8",
         {"Latitude 7490\n", "ABCD1234\n", "ignored", "ignored", "NAME=x\nVERSION_ID=\"22.04\"\n", std::nullopt},
         "Latitude 7490", "22.4.0", "BCD1234"},
        {"DMI, serial of 7, model not UTF-8",
         {"Mod\xC3\x28" "el\n", "1234567\n", std::nullopt, std::nullopt, "VERSION_ID='12'\n", std::nullopt},
         "Mod\xEF\xBF\xBD(el", "12.0.0", "1234567"},
        {"DMI, empty serial, version not a number",
         {"\n", "\n", std::nullopt, std::nullopt, "VERSION_ID=rolling\n", std::nullopt}, "", kernel, ""},
        {"device tree",
         {std::nullopt, std::nullopt, std::string("Raspberry Pi 4 Model B Rev 1.4\0", 31),
          std::string("10000000abcdef12\0", 17), "ID=arch\n", std::nullopt},
         "Raspberry Pi 4 Model B Rev 1.4", kernel, "bcdef12"},
        {"nothing, /usr/lib/os-release only",
         {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, "VERSION_ID=\"2024.1\"\n"}, "",
         "2024.1.0", std::nullopt},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        fs::remove_all(folder.path());
        fs::create_directories(folder.path());
        fs::permissions(folder.path(), fs::perms(0755));
        const std::optional<std::string> record = inPrivateMounts(install(testCase.machine), systemtests::readFactsRecord);
        if (!record) {
            GTEST_SKIP() << "cannot make a private mount namespace here";
        }
        const std::optional<Facts> facts = parseFactsRecord(*record);
        ASSERT_TRUE(facts);
        EXPECT_EQ(facts->model, testCase.model);
        if (testCase.version == kernel) {
            expectKernelVersion(facts->version);
        } else {
            EXPECT_EQ(facts->version, testCase.version);
        }
        EXPECT_EQ(facts->serial, testCase.serial);
    }
}

TEST_F(SystemInPrivateMounts, anOrdinaryUserGetsNoDMISerial) {
    const auto binds = install({"Latitude 7490\n", "ABCD1234\n", std::nullopt, std::nullopt, "VERSION_ID=12\n", {}});
    const uid_t nobody = 65534;
    const auto record = inPrivateMounts(binds, systemtests::readFactsRecord, nobody);
    if (!record) {
        GTEST_SKIP() << "cannot make a private mount namespace or become nobody here";
    }
    const std::optional<Facts> facts = parseFactsRecord(*record);
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->model, "Latitude 7490");
    EXPECT_EQ(facts->serial, std::nullopt);
}

TEST_F(SystemInPrivateMounts, everyCallReadsAfresh) {
    const auto binds = install({"First\n", "SERIAL-ONE\n", std::nullopt, std::nullopt, "VERSION_ID=11\n", {}});
    const fs::path root = folder.path();
    const auto record = inPrivateMounts(binds, [&] {
        std::string seen = orvane::System::hardwareModel() + "|" + orvane::System::osVersion() + "|" +
                           orvane::System::shortSerialNumber().value_or("-") + "|";
        writeFile(root / "class/dmi/id/product_name", "Second\n");
        writeFile(root / "class/dmi/id/product_serial", "SERIAL-TWO\n");
        writeFile(root / "os-release", "VERSION_ID=12.1\n");
        return seen + orvane::System::hardwareModel() + "|" + orvane::System::osVersion() + "|" +
               orvane::System::shortSerialNumber().value_or("-");
    });
    if (!record) {
        GTEST_SKIP() << "cannot make a private mount namespace here";
    }
    EXPECT_EQ(*record, "First|11.0.0|IAL-ONE|Second|12.1.0|IAL-TWO");
}

// User records through nss_wrapper, in the probe run as a child process.
std::optional<std::string> nssWrapperLibrary() {
    for (const char* folder : {"/usr/lib/x86_64-linux-gnu", "/usr/lib/aarch64-linux-gnu", "/usr/lib64", "/usr/lib"}) {
        const fs::path library = fs::path(folder) / "libnss_wrapper.so";
        if (fs::exists(library)) {
            return library.string();
        }
    }
    return std::nullopt;
}

TEST(SystemUserRecord, homeAndNameComeFromTheRecordWithTheirFallbacks) {
    const std::optional<std::string> library = nssWrapperLibrary();
    if (!library) {
        GTEST_SKIP() << "libnss_wrapper.so is not installed (Debian package libnss-wrapper)";
    }
    const std::string uid = std::to_string(::getuid());
    const std::string other = std::to_string(::getuid() + 1);
    const std::string longComment(20000, 'g');  // larger than the first buffer: getpwuid_r says ERANGE
    const struct {
        const char* name;
        std::string passwd;
        std::vector<std::string> environment;
        std::string home, user;
    } cases[] = {
        {"a plain record", "ana:x:" + uid + ":" + uid + ":Ana:/home/ana:/bin/sh\n", {"HOME=/srv/fallback"},
         "/home/ana", "ana"},
        {"a record larger than the first buffer",
         "ana:x:" + uid + ":" + uid + ":" + longComment + ":/home/ana:/bin/sh\n", {}, "/home/ana", "ana"},
        {"a home that is not UTF-8", "ana:x:" + uid + ":" + uid + "::/home/an\xE1:/bin/sh\n",
         {"HOME=/srv/fallback"}, "/srv/fallback", "ana"},
        {"an empty home, no HOME", "ana:x:" + uid + ":" + uid + ":::/bin/sh\n", {}, "/", "ana"},
        {"a name that is not UTF-8", "n\xE9:x:" + uid + ":" + uid + "::/home/n:/bin/sh\n", {}, "/home/n",
         "n\xEF\xBF\xBD"},
        {"no record for this user", "other:x:" + other + ":" + other + "::/home/other:/bin/sh\n",
         {"HOME=/srv/fallback", "LOGNAME=from-logname", "USER=from-user"}, "/srv/fallback", "from-logname"},
    };
    testsupport::TemporaryFolder folder;
    const fs::path passwd = folder.path() / "passwd";
    const fs::path group = folder.path() / "group";
    writeFile(group, "users:x:" + uid + ":\n");
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        writeFile(passwd, testCase.passwd);
        std::vector<std::string> environment{"LD_PRELOAD=" + *library, "NSS_WRAPPER_PASSWD=" + passwd.string(),
                                             "NSS_WRAPPER_GROUP=" + group.string()};
        environment.insert(environment.end(), testCase.environment.begin(), testCase.environment.end());
        std::vector<char*> environmentPointers;
        for (std::string& entry : environment) {
            environmentPointers.push_back(entry.data());
        }
        environmentPointers.push_back(nullptr);
        char probe[] = ORVANE_SYSTEM_FACTS_PROBE;
        char* const arguments[] = {probe, nullptr};
        const ChildOutcome outcome = runChild([&](int output) {
            if (::dup2(output, STDOUT_FILENO) < 0) {
                return setupFailed;
            }
            ::execve(probe, arguments, environmentPointers.data());
            return setupFailed;
        });
        ASSERT_EQ(outcome.status, 0);
        const std::optional<Facts> facts = parseFactsRecord(outcome.output);
        ASSERT_TRUE(facts);
        EXPECT_EQ(facts->home, testCase.home);
        EXPECT_EQ(facts->name, testCase.user);
    }
}

}  // namespace
