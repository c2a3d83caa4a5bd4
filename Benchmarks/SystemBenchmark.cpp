// System::homeFolder() beside the plainest read of the same fact: one
// getpwuid_r into a buffer of sysconf(_SC_GETPW_R_SIZE_MAX) bytes, the home
// field copied into a string. Both consult the user database afresh on every
// call, as nsswitch.conf says (a read of /etc/passwd with "files").
#include "System/System.hpp"

#include <benchmark/benchmark.h>

#include <pwd.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

void homeFolder(benchmark::State& state) {
    for (auto _ : state) {
        std::string home = orvane::System::homeFolder();
        benchmark::DoNotOptimize(home);
    }
}
BENCHMARK(homeFolder);

void plainGetpwuidR(benchmark::State& state) {
    const long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    for (auto _ : state) {
        std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 1024);
        passwd record{};
        passwd* found = nullptr;
        ::getpwuid_r(::getuid(), &record, buffer.data(), buffer.size(), &found);
        std::string home = found != nullptr ? found->pw_dir : "";
        benchmark::DoNotOptimize(home);
    }
}
BENCHMARK(plainGetpwuidR);

}  // namespace

BENCHMARK_MAIN();
