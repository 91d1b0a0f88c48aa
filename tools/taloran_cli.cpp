#include <iostream>

#include "cli.h"

int main(int argc, char** argv) { return taloran::RunCli(argc, argv, std::cout, std::cerr); }
