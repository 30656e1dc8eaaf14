// picmap-cli: the command-line tool. Main parses the verb and its options and runs it.
#pragma once

namespace picmap::cli {

// Exit codes: 0 success, 1 a failure, 2 a usage error.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int Main(int argc, char** argv);

}  // namespace picmap::cli
