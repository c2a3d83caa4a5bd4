// orvane notify: posts one desktop notification through the user-notification
// proxy and, with --wait, says what the user did with it.
//
//   orvane notify --title T [--subtitle S] [--body B] [--after SECONDS] [--wait]
//
// Exit status: 0 posted (and, with --wait, answered: "activated" or
// "dismissed" on standard output), 1 no notification server took it or it
// closed without an answer, 2 bad command line.
#pragma once

namespace orvane::cli {

int runNotifyCommand(int argc, char** argv);

}  // namespace orvane::cli
