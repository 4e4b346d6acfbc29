#include "reg_commands.h"

#include <iostream>

int main(int argc, char** argv) {
    regtool::Arguments args(argv + 1, argv + argc);
    regtool::Streams io{std::cin, std::cout, std::cerr};
    return regtool::Run(args, io);
}
