// kelvra-stamp's command line: which operation, on which files, and its exit code.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kelvra::stamp {

inline constexpr int kStampSucceeded = 0;
// An input or output file could not be read or written, or --show found no token.
inline constexpr int kStampFailed = 1;
// Wrong usage or an input the bootstrapper could not use; nothing was written.
inline constexpr int kStampRefused = 2;

// Runs one command (arguments without the program name); reports go to out,
// problems to err. Never modifies the input file; an output file appears only
// complete.
[[nodiscard]] int runStampCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace kelvra::stamp
