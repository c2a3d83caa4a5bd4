// Prints the System facts as one FactsRecord on standard output, for tests
// that run it under an LD_PRELOAD the test process itself must not have.
#include "FactsRecord.hpp"

#include <iostream>

int main() {
    std::cout << systemtests::readFactsRecord();
    return std::cout.flush() ? 0 : 1;
}
