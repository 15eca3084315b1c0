// libFuzzer target: clang -fsanitize=fuzzer; see tests/fuzz/CMakeLists.txt.
#include "fuzz_checks.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tessaly::checkExpressionText({reinterpret_cast<const char*>(data), size});
    return 0;
}
