#pragma once

namespace zart::cli {

/// The exit codes of zart-cli, which scripts test.
enum ExitCode : int {
  kExitDone = 0,         ///< done
  kExitDifferences = 1,  ///< differences found (compare, diff)
  kExitUsage = 2,        ///< bad usage, or a bad file (missing, unreadable, values the controller cannot take)
  kExitMismatch = 3,     ///< the write check found a mismatch
  kExitNoLink = 4,       ///< no link, no answer, or the controller refused the request
  kExitWriteFailed = 5,  ///< a file could not be written (the result, or the backup before a write)
};

}  // namespace zart::cli
