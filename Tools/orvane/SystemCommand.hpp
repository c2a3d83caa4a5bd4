// SystemCommand: `orvane system` prints the five host facts of System, one
// per line with a label:
//
//   Hardware model:  Latitude 7490
//   OS version:      12.0.0
//   Serial number:   (not available)
//   Home folder:     /home/ana
//   User name:       ana
//
// A serial that cannot be read (the DMI serial is root's only) shows as
// "(not available)", an empty fact as "(empty)". Exit statuses: 0 printed,
// 1 standard output could not be written, 2 bad command line.
//
// Runs on the caller's thread.
//
//   if (argc > 1 && std::string_view(argv[1]) == "system") return runSystemCommand(argc - 1, argv + 1);
#pragma once

namespace orvane::cli {

// argv[0] is the word "system".
int runSystemCommand(int argc, char** argv);

}  // namespace orvane::cli
