// `orvane system`, run as a program: the five facts as System reads them.
#include "System/System.hpp"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct CommandRun {
    int status = -1;
    std::string out;
};

CommandRun runOrvaneSystem(const std::string& arguments) {
    CommandRun run;
    const std::string command = std::string("'") + ORVANE_TOOL_PATH + "' system " + arguments + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char chunk[512];
    for (std::size_t count; (count = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
        run.out.append(chunk, count);
    }
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(OrvaneSystemCommandIntegrationTest, printsTheFiveFactsWithLabels) {
    using orvane::System;
    const auto shown = [](const std::string& fact) { return fact.empty() ? std::string("(empty)") : fact; };
    const auto serial = System::shortSerialNumber();
    const CommandRun run = runOrvaneSystem("");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Hardware model:  " + shown(System::hardwareModel()) + "\n" +
                           "OS version:      " + System::osVersion() + "\n" +
                           "Serial number:   " + (serial ? shown(*serial) : "(not available)") +
                           "\n" + "Home folder:     " + System::homeFolder() + "\n" +
                           "User name:       " + shown(System::userName()) + "\n");
}

TEST(OrvaneSystemCommandIntegrationTest, anUnexpectedArgumentExitsTwo) {
    const CommandRun run = runOrvaneSystem("--verbose");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
}

}  // namespace
