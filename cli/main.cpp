#include <unistd.h>

#include <iostream>

#include "cli/cli.h"

int main(int argc, char** argv) {
  return taloran::RunCli(argc, argv, {std::cin, std::cout, std::cerr, isatty(STDERR_FILENO) == 1});
}
