#pragma once

#include "core/page_reader.h"

#include <cstdlib>
#include <string_view>

namespace tessaly::test {

// Any bytes read as a database file give a bounded run: every page, cell,
// b-tree and free list is read without a crash, and no row holds more
// bytes than the file could give it. A broken property aborts, so the same
// check serves the bounded test and the libFuzzer target.
inline void checkPageReader(std::string_view bytes)
{
    const auto require = [](bool holds) {
        if (!holds) {
            std::abort();
        }
    };
    pages::MemorySource source{bytes};
    pages::PageReader reader{source};
    require(reader.pageSize() >= 512 && reader.pageSize() <= 65536);
    require(std::uint64_t{reader.pageCount()} * reader.pageSize() <
            bytes.size() + reader.pageSize());
    for (std::uint32_t page = 1; page <= reader.pageCount(); ++page) {
        bool sound = true;
        require(reader.children(page, sound).size() <= reader.pageSize() / 2 + 1);
        const std::uint32_t cells = reader.cellCount(page);
        require(cells <= reader.pageSize() / 2);
        for (std::uint32_t cell = 0; cell < cells; ++cell) {
            const auto row = reader.row({page, cell});
            if (!row) {
                continue;
            }
            std::size_t held = 0;
            for (const pages::Value& value : row->values) {
                held += value.bytes.size();
            }
            require(held <= bytes.size() + reader.pageSize());
        }
    }
    bool complete = true;
    require(reader.leavesOf(1, complete).size() <= reader.pageCount());
    require(reader.freePages().size() <= reader.pageCount());
    pages::decodeRecord(bytes, true);
    pages::decodeRecord(bytes, false);
}

} // namespace tessaly::test
