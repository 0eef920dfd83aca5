// Writes the codec's register and field definitions as a C header (registerexport.h) on
// standard output: the build makes tessaly.h with it for the development package.
#include "registerexport.h"

#include <iostream>

int main() {
    std::cout << larkspur::exportDefinitions();
    return std::cout.good() ? 0 : 1;
}
