// ProcessSafety: what the `orvane` tool does before anything else, since it
// handles secrets.
//
// - Descriptors 0, 1 and 2 are made valid: a closed one is opened on
//   /dev/null. Otherwise the first descriptor a library opens (GLib's wake-up
//   eventfd, a D-Bus socket) would take its number, and a secret written to
//   "standard output" would land there.
// - Core dumps are turned off (not dumpable, core size 0), so a crash never
//   writes a secret to disk.
//
// Call once, first thing in main, on the main thread.
//
//   const orvane::cli::StandardStreams streams = orvane::cli::secureProcess();
//   if (!streams.outputWritable) { /* refuse to print a secret */ }
#pragma once

namespace orvane::cli {

struct StandardStreams {
    // Whether standard output was open for writing when the tool started
    // (before a closed one was replaced by /dev/null).
    bool outputWritable = true;
};

StandardStreams secureProcess();

}  // namespace orvane::cli
