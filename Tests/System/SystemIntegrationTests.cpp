// The real reading paths of System against fake files: sysfs, device-tree and
// os-release files bind-mounted in a private mount namespace (root only), and
// user records through nss_wrapper in a probe process.
#include "FactsRecord.hpp"
#include "Support/ChildProcess.hpp"
#include "Support/ScopedEnvironment.hpp"
#include "Support/TemporaryFolder.hpp"
#include "System/HostFactShaping.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testsupport::ChildProcess;

constexpr int setupFailed = 77;
const std::string absent = "\x01";

void writeFile(const fs::path& path, const std::string& bytes, fs::perms permissions = fs::perms(0644)) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    fs::permissions(path, permissions);
}

std::vector<std::string> fields(const std::string& record) {
    std::vector<std::string> split;
    for (std::size_t at = 0, end; (end = record.find('\0', at)) != std::string::npos; at = end + 1) {
        split.push_back(record.substr(at, end - at));
    }
    return split;
}

// Forks; the child runs `child` with the write end of a pipe and exits with
// what it returns. Returns the exit status (-1 when it did not exit) and what
// the child wrote. The test binary runs no other thread, so the child may
// allocate.
std::pair<int, std::string> runChild(const std::function<int(int output)>& child) {
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        return {-1, ""};
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipe[0]);
        ::_exit(child(pipe[1]));
    }
    ::close(pipe[1]);
    std::string output;
    char chunk[4096];
    for (ssize_t count; (count = ::read(pipe[0], chunk, sizeof chunk)) > 0;) {
        output.append(chunk, static_cast<std::size_t>(count));
    }
    ::close(pipe[0]);
    int status = 0;
    const bool exited = pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status);
    return {exited ? WEXITSTATUS(status) : -1, output};
}

class SystemInPrivateMounts : public testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "needs root to make a private mount namespace";
        }
        fs::permissions(folder.path(), fs::perms(0755));
    }

    // Lays out `files` (paths under /sys/class, /sys/firmware, plus "os-release"
    // for /etc/os-release, which is hidden with all of /etc when missing, and
    // "usr-lib-os-release"), then returns what `body` returns in a child whose
    // mount namespace has them in place, run as user `runAs` when given;
    // nothing when the namespace cannot be made.
    std::optional<std::string> withFiles(const std::map<std::string, std::string>& files,
                                         const std::function<std::string()>& body,
                                         std::optional<uid_t> runAs = std::nullopt) {
        const fs::path root = folder.path();
        for (const char* folderName : {"class", "firmware", "etc"}) {
            fs::create_directories(root / folderName);
        }
        for (const auto& [path, bytes] : files) {
            writeFile(root / path, bytes,
                      path.ends_with("product_serial") ? fs::perms(0400) : fs::perms(0644));
        }
        std::vector<std::pair<fs::path, const char*>> binds{{root / "class", "/sys/class"},
                                                            {root / "firmware", "/sys/firmware"}};
        binds.emplace_back(files.contains("os-release") ? root / "os-release" : root / "etc",
                           files.contains("os-release") ? "/etc/os-release" : "/etc");
        if (files.contains("usr-lib-os-release")) {
            binds.emplace_back(root / "usr-lib-os-release", "/usr/lib/os-release");
        }
        const auto [status, output] = runChild([&](int out) {
            if (::unshare(CLONE_NEWNS) != 0 ||
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
                return setupFailed;
            }
            for (const auto& [source, target] : binds) {
                if (::mount(source.c_str(), target, nullptr, MS_BIND, nullptr) != 0) {
                    return setupFailed;
                }
            }
            if (runAs && (::setgid(*runAs) != 0 || ::setuid(*runAs) != 0)) {
                return setupFailed;
            }
            const std::string result = body();
            return ::write(out, result.data(), result.size()) == static_cast<ssize_t>(result.size()) ? 0 : 1;
        });
        if (status == setupFailed) {
            return std::nullopt;
        }
        EXPECT_EQ(status, 0);
        return output;
    }

    testsupport::TemporaryFolder folder;
};

TEST_F(SystemInPrivateMounts, readsModelVersionAndSerialFromTheirFiles) {
    const std::string name = "class/dmi/id/product_name", serial = "class/dmi/id/product_serial";
    const std::string model = "firmware/devicetree/base/model", os = "os-release";
    // Without a version in os-release, the kernel's release.
    utsname names{};
    ASSERT_EQ(::uname(&names), 0);
    const std::string kernel = orvane::hostfacts::threePartVersion(names.release).value_or("(none)");
    const struct {
        std::map<std::string, std::string> files;
        std::string model, version, serial;
        std::optional<uid_t> runAs = std::nullopt;
    } cases[] = {
        {{{name, "Latitude 7490\n"},
          {serial, "ABCD1234\n"},
          {model, "ignored"},
          {os, "NAME=x\nVERSION_ID=\"22.04\"\n"}},
         "Latitude 7490",
         "22.4.0",
         "BCD1234"},
        {{{name, "Mod\xC3(el\n"}, {serial, "1234567\n"}, {os, "VERSION_ID='12'\n"}},
         "Mod\xEF\xBF\xBD(el",
         "12.0.0",
         "1234567"},
        {{{name, "\n"}, {serial, "\n"}, {os, "VERSION_ID=rolling\n"}}, "", kernel, ""},
        {{{model, std::string("Pi 4 Model B\0", 13)},
          {"firmware/devicetree/base/serial-number", std::string("10000000abcdef12\0", 17)},
          {os, "ID=arch\n"}},
         "Pi 4 Model B",
         kernel,
         "bcdef12"},
        {{{"usr-lib-os-release", "VERSION_ID=\"2024.1\"\n"}}, "", "2024.1.0", absent},
        // The DMI serial is root's: an ordinary user gets nothing.
        {{{name, "Latitude 7490\n"}, {serial, "ABCD1234\n"}, {os, "VERSION_ID=12\n"}},
         "Latitude 7490",
         "12.0.0",
         absent,
         65534},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.model + " " + testCase.version);
        fs::remove_all(folder.path());
        fs::create_directories(folder.path());
        const auto record = withFiles(testCase.files, systemtests::readFactsRecord, testCase.runAs);
        if (!record) {
            GTEST_SKIP() << "cannot make a private mount namespace here";
        }
        const std::vector<std::string> facts = fields(*record);
        ASSERT_EQ(facts.size(), 5u);
        EXPECT_EQ(facts[0], testCase.model);
        EXPECT_EQ(facts[1], testCase.version);
        EXPECT_EQ(facts[2], testCase.serial);
    }
}

TEST_F(SystemInPrivateMounts, everyCallReadsAfresh) {
    const auto record = withFiles({{"class/dmi/id/product_name", "First\n"}, {"os-release", "VERSION_ID=11\n"}}, [&] {
        const std::string first = systemtests::readFactsRecord();
        writeFile(folder.path() / "class/dmi/id/product_name", "Second\n");
        writeFile(folder.path() / "os-release", "VERSION_ID=12.1\n");
        return first + systemtests::readFactsRecord();
    });
    if (!record) {
        GTEST_SKIP() << "cannot make a private mount namespace here";
    }
    const std::vector<std::string> facts = fields(*record);
    ASSERT_EQ(facts.size(), 10u);
    EXPECT_EQ((std::vector<std::string>{facts[0], facts[1], facts[5], facts[6]}),
              (std::vector<std::string>{"First", "11.0.0", "Second", "12.1.0"}));
}

TEST(SystemUserRecord, homeAndNameComeFromTheRecordWithTheirFallbacks) {
    const fs::path folders[] = {"/usr/lib/x86_64-linux-gnu", "/usr/lib/aarch64-linux-gnu", "/usr/lib64",
                                "/usr/lib"};
    const auto found = std::find_if(std::begin(folders), std::end(folders), [](const fs::path& folder) {
        return fs::exists(folder / "libnss_wrapper.so");
    });
    if (found == std::end(folders)) {
        GTEST_SKIP() << "libnss_wrapper.so is not installed (Debian package libnss-wrapper)";
    }
    const fs::path library = *found / "libnss_wrapper.so";
    const std::string uid = std::to_string(::getuid()) + ":" + std::to_string(::getuid());
    const std::string other = std::to_string(::getuid() + 1) + ":0";
    const struct {
        std::string passwd;
        std::vector<std::string> environment;
        std::string home, user;
    } cases[] = {
        {"ana:x:" + uid + ":Ana:/home/ana:/bin/sh\n", {"HOME=/srv/fallback"}, "/home/ana", "ana"},
        // Larger than the first buffer: getpwuid_r says ERANGE until it grows.
        {"ana:x:" + uid + ":" + std::string(20000, 'g') + ":/home/ana:/bin/sh\n", {}, "/home/ana", "ana"},
        {"ana:x:" + uid + "::/home/an\xE1:/bin/sh\n", {"HOME=/srv/fallback"}, "/srv/fallback", "ana"},
        {"ana:x:" + uid + ":::/bin/sh\n", {}, "/", "ana"},
        {"n\xE9:x:" + uid + "::/home/n:/bin/sh\n", {}, "/home/n", "n\xEF\xBF\xBD"},
        {"other:x:" + other + "::/home/other:/bin/sh\n",
         {"HOME=/srv/fallback", "LOGNAME=logname", "USER=user"},
         "/srv/fallback",
         "logname"},
    };
    // Only the record and the variables each case sets may decide.
    testsupport::ScopedEnvironment unset(
        {{"HOME", std::nullopt}, {"LOGNAME", std::nullopt}, {"USER", std::nullopt}});
    testsupport::TemporaryFolder folder;
    writeFile(folder.path() / "group", "users:x:" + std::to_string(::getgid()) + ":\n");
    // nss_wrapper's own locking (its fork handlers and its destructor, run
    // from _dl_call_fini) upsets ThreadSanitizer in the probe; not our code.
    writeFile(folder.path() / "tsan-suppressions",
              "called_from_lib:libnss_wrapper.so\nmutex:libnss_wrapper.so\nmutex:_dl_call_fini\n");
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.passwd.substr(0, 80));
        writeFile(folder.path() / "passwd", testCase.passwd);
        std::vector<std::string> environment{
            "LD_PRELOAD=" + library.string(), "NSS_WRAPPER_PASSWD=" + (folder.path() / "passwd").string(),
            "NSS_WRAPPER_GROUP=" + (folder.path() / "group").string(),
            // nss_wrapper must come before a sanitizer's runtime
            "ASAN_OPTIONS=verify_asan_link_order=0",
            "TSAN_OPTIONS=suppressions=" + (folder.path() / "tsan-suppressions").string()};
        environment.insert(environment.end(), testCase.environment.begin(), testCase.environment.end());
        ChildProcess probe({ORVANE_SYSTEM_FACTS_PROBE}, environment, ChildProcess::Output::capture);
        const std::string record = probe.readAll();
        ASSERT_EQ(probe.wait(), 0);
        const std::vector<std::string> facts = fields(record);
        ASSERT_EQ(facts.size(), 5u);
        EXPECT_EQ(facts[3], testCase.home);
        EXPECT_EQ(facts[4], testCase.user);
    }
}

}  // namespace
