// HTTPCommand: `orvane http get URL` — fetches URL with the library's HTTP
// client and writes the body to standard output, byte for byte. A failure is
// one line on standard error (the client's failure message, which never holds
// the URL's user information or query) and exit status 1; a command line that
// cannot be understood is exit status 2. Proxies come from the usual
// environment variables.
//
// Runs on the calling thread and waits for the client's callback.
//
//   return runHTTPCommand(argc - 1, argv + 1);   // argv[0] is "http"
#pragma once

namespace orvane::cli {

int runHTTPCommand(int argc, char** argv);

}  // namespace orvane::cli
