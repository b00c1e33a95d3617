#include <iostream>
#include <string>
#include <vector>

#include "tools/cloudctl/CloudCtl.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return wv::CloudCtl().run(arguments, std::cout, std::cerr);
}
