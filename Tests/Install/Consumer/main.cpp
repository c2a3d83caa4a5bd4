// Uses a few public types so that headers, library and link line are all exercised.
#include "Platform/Foundation/Data.hpp"
#include "Platform/Foundation/NSError.hpp"

#include <iostream>

int main() {
    const orvane::Data data(std::string_view("consumer"));
    const orvane::NSError error("com.orvane.consumer", 3);
    if (data.base64EncodedString() != "Y29uc3VtZXI=" || error.code() != 3) {
        std::cerr << "unexpected result\n";
        return 1;
    }
    std::cout << "consumer ok\n";
    return 0;
}
