// TouchIDCommand: fingerprint authorization from the command line.
//
//   orvane touchid state
//       prints the state's raw value ("ok", "hardwareNotConfigured", ...).
//   orvane touchid authorize --reason TEXT [--fallback-title TEXT]
//       shows "Touch the fingerprint reader: TEXT" on standard error and waits
//       for the reader (30 seconds at most).
//
// Exit statuses: 0 printed / recognised, 1 not recognised or not possible
// (one line on standard error says why), 2 bad command line.
//
// Runs on the caller's thread; the authorization's reply comes from a library
// thread and is waited for.
//
//   if (argc > 1 && std::string_view(argv[1]) == "touchid") return runTouchIDCommand(argc - 1, argv + 1);
#pragma once

namespace orvane::cli {

// argv[0] is the word "touchid".
int runTouchIDCommand(int argc, char** argv);

}  // namespace orvane::cli
