// The front end's entry: the window, its message loop and the exit code.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "run/run_state.h"

namespace kelvra::frontend {

class Program {
 public:
  // Runs the window until it closes, logs "Exit complete" and returns the exit
  // code ExitApplication stored (0 without one); 1 when the window could not be made.
  // arguments are the command line's, without the program's name.
  [[nodiscard]] static int run(HINSTANCE instance, int showCommand, std::vector<std::wstring> arguments,
                               FrontEndSettings settings);

  // The command line's arguments, split the way the C runtime splits them.
  [[nodiscard]] static std::vector<std::wstring> commandLineArguments();
};

}  // namespace kelvra::frontend
