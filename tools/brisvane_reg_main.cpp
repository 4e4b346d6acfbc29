#include "reg_commands.h"

#include <iostream>
#include <malloc.h>

int main(int argc, char** argv) {
    // An import builds a tree of many small pieces and grows large buffers: memory let go on
    // the way stays in the heap for the next pieces instead of going back to the system and
    // being faulted in again.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
    regtool::Arguments args(argv + 1, argv + argc);
    regtool::Streams io{std::cin, std::cout, std::cerr};
    return regtool::Run(args, io);
}
