// Takes the instance guard named on the command line in a process of its own and
// reports "acquired" or "refused". With "hold" it keeps the guard while stdin is
// open; a line "release" gives it up early and is answered with "released".

#include <cstring>
#include <iostream>
#include <string>

#include "app/instance_guard.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: guard_probe NAME [hold]\n";
        return 2;
    }
    ormid::InstanceGuard guard(argv[1]);
    std::cout << (guard.acquired() ? "acquired" : "refused") << std::endl;
    if (argc < 3 || std::strcmp(argv[2], "hold") != 0)
        return 0;
    for (std::string line; std::getline(std::cin, line);) {
        if (line == "release") {
            guard.release();
            std::cout << "released" << std::endl;
        }
    }
    return 0;
}
