// ArgumentsProviderType: where ArgumentsFetcher reads the command line from.
//
// arguments() is laid out like a process's argument vector: the program's
// own path first, the user's arguments after it. A provider returns the
// same list whenever it is asked during one query; the fetcher asks afresh
// for every query, so a list that changes is seen changed by the next one.
// ProcessArgumentsProvider reads the running process's own list; tests
// supply fixed ones.
//
// Thread safety: up to the implementation.
//
//   struct FixedArguments : orvane::ArgumentsProviderType {
//       std::vector<std::string> list;
//       std::vector<std::string> arguments() const override { return list; }
//   };
#pragma once

#include <string>
#include <vector>

namespace orvane {

class ArgumentsProviderType {
public:
    virtual ~ArgumentsProviderType() = default;

    virtual std::vector<std::string> arguments() const = 0;
};

}  // namespace orvane
