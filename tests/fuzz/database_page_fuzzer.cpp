// libFuzzer target: clang -fsanitize=fuzzer; see tests/fuzz/CMakeLists.txt.
// Any bytes as a database file for Repair's page reader: every page, cell,
// overflow chain, b-tree and free list is read in bounded time, without a
// crash.
#include "page_reader_checks.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tessaly::test::checkPageReader({reinterpret_cast<const char*>(data), size});
    return 0;
}
