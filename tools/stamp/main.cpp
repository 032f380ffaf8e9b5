// kelvra-stamp: puts a personalized token trailer on a built bootstrapper.
#include <iostream>
#include <string>
#include <vector>

#include "stamp/command.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return kelvra::stamp::runStampCommand(arguments, std::cout, std::cerr);
}
