// libFuzzer's entry point for one target (FUZZ_TARGET, set by the build) and its way of
// reporting: a broken expectation stops the run with the input saved as a finding.
#include <cstdio>
#include <cstdlib>

#include "fuzz_support.h"

void fuzzFailure(const char* target, const std::string& what)
{
    std::fprintf(stderr, "%s: %s\n", target, what.c_str());
    std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FUZZ_TARGET(data, size);
}
