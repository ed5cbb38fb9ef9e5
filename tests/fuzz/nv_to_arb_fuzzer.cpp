// libFuzzer target for the NV-to-ARB translator: any bytes in, and besides
// the sanitizers' own checks, the translator's promises: the same answer
// twice, an error that names a position inside the input, and a success
// that is a whole ARB program.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "gpu/nv_to_arb.h"

namespace {

void require(bool holds)
{
    if (!holds)
        abort();
}

// "character N: reason" with 0 <= N <= size (N = size: the text ended early).
bool namesPositionInside(const std::string& error, size_t size)
{
    const std::string head = "character ";
    if (error.compare(0, head.size(), head) != 0)
        return false;
    size_t digitsEnd = error.find(": ", head.size());
    if (digitsEnd == std::string::npos || digitsEnd == head.size() || digitsEnd == error.size() - 2)
        return false;
    size_t at = 0;
    for (size_t i = head.size(); i < digitsEnd; ++i) {
        if (error[i] < '0' || error[i] > '9')
            return false;
        at = at * 10 + (size_t)(error[i] - '0');
        if (at > size)
            return false;
    }
    return true;
}

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = (const char*)data;
    std::string arb, error, arbAgain, errorAgain;
    bool ok = translateNvToArb(text, size, &arb, &error);
    bool okAgain = translateNvToArb(text, size, &arbAgain, &errorAgain);
    require(ok == okAgain);
    if (ok) {
        require(arb == arbAgain);
        require(arb.compare(0, 11, "!!ARBvp1.0\n") == 0);
        require(endsWith(arb, "END\n"));
    } else {
        require(error == errorAgain);
        require(namesPositionInside(error, size));
    }
    return 0;
}
