// cereg: see Cereg.h.
#include "platform/registry/Cereg.h"

#include <iostream>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    int code = reg::RunCereg(args, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
