#pragma once

// What `Faceloom --help` prints after the usage text, and what `--version` prints.

namespace faceloom {

// Prints the options with their values and defaults, the exit statuses and an
// example. Starts with a line feed, since the usage text before it ends without one.
void printHelp();

// Prints "Faceloom <version>" and a line feed.
void printVersion();

}  // namespace faceloom
