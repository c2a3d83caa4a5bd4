// ReachabilityCommand: `orvane reachability [--watch SECONDS]`.
//
// Prints whether the network is reachable ("reachable" or "not reachable"),
// then, with --watch, runs the main loop for SECONDS and prints the new state
// each time it changes, one line each, prefixed with the local time. A
// monitor that cannot report changes is one warning line on stderr; the
// state printed is still the system's.
//
// Exit statuses: 0 success, 2 bad command line.
//
// Runs on the calling (main) thread, which it uses as the main loop.
//
//   return orvane::cli::runReachabilityCommand(argc - 1, argv + 1);
#pragma once

namespace orvane::cli {

// argv[0] is the subcommand word, "reachability".
int runReachabilityCommand(int argc, char** argv);

}  // namespace orvane::cli
