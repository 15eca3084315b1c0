// libFuzzer target: clang -fsanitize=fuzzer; see tests/fuzz/CMakeLists.txt.
// Any bytes as a bookmark file, page, CSV or text file, or browser file.
#include "../unit/import/import_fuzz_check.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tessaly::test::checkImportOf({reinterpret_cast<const char*>(data), size});
    return 0;
}
