#include "Platform/Object.hpp"

#include <iostream>

int main() {
    orvane::Object number = orvane::toObject(42);
    std::cout << number.description() << "\n";
}
