// ArgumentsFetcher: answers questions about the command line the application
// was started with, read from an ArgumentsProviderType.
//
//   - contains(flag): whether some element, the program path included,
//     is exactly the flag (dashes included, letter case counts, nothing is
//     split at "="). Always false for a list of fewer than two elements.
//   - retrieveValue(forArgument): the element that follows the first element
//     equal to the name without regard to letter case, unchanged; nothing
//     when that element begins with "--", when no element before the last
//     matches, or when the list has fewer than two elements. Only the first
//     match counts.
//   - contains(argument, withValue): whether retrieveValue(argument) gives a
//     value equal to withValue without regard to letter case.
// Letter case is compared by the Unicode lower-case mapping of each
// character, the same in every locale ("--ÉMOJI" matches "--émoji"); text that
// is not UTF-8 has only its ASCII letters mapped.
//
// The fetcher holds its provider for its lifetime and asks it once per query.
//
// Thread safety: the fetcher has no state of its own; queries may overlap
// when the provider's arguments() may.
//
//   orvane::ArgumentsFetcher fetcher(std::make_shared<orvane::ProcessArgumentsProvider>());
//   if (fetcher.contains("--verbose")) ...
//   auto mode = fetcher.retrieveValue("--mode");          // "Fast" for "--mode Fast"
//   bool fast = fetcher.contains("--mode", "fast");       // true
#pragma once

#include "Application/ArgumentsProviderType.hpp"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

class ArgumentsFetcher {
public:
    // Throws std::invalid_argument for a null provider.
    explicit ArgumentsFetcher(std::shared_ptr<ArgumentsProviderType> provider);

    bool contains(std::string_view flag) const;
    std::optional<std::string> retrieveValue(std::string_view forArgument) const;
    bool contains(std::string_view argument, std::string_view withValue) const;

private:
    std::shared_ptr<ArgumentsProviderType> provider_;
};

}  // namespace orvane
