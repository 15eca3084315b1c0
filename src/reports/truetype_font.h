#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessaly {

// A TrueType font file read for embedding in a PDF: its bytes, its
// metrics, and the glyph of each character from its Unicode map. Only the
// tables a fixed-pitch report type needs are read; a file that lacks them,
// or is no TrueType file, does not load.
class TrueTypeFont final {
public:
    // Reads the font; false when it cannot be read or used.
    bool load(const std::string& path);

    const std::string& data() const { return data_; }
    // The glyph number of `cp`; 0 (the font's "missing" glyph) when none.
    std::uint16_t glyph(char32_t cp) const;

    // In thousandths of the type size, as PDF gives font metrics.
    int advance() const { return scaled(advance_); }
    int ascent() const { return scaled(ascent_); }
    int descent() const { return scaled(descent_); }
    std::array<int, 4> box() const
    {
        return {scaled(box_[0]), scaled(box_[1]), scaled(box_[2]), scaled(box_[3])};
    }

private:
    struct Table {
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
    };

    bool table(std::string_view tag, Table& out) const;
    bool readMap(const Table& cmap);
    std::uint16_t u16(std::size_t at) const;
    std::uint32_t u32(std::size_t at) const;
    int scaled(int units) const { return units * 1000 / unitsPerEm_; }

    std::string data_;
    int unitsPerEm_ = 1000;
    int advance_ = 0;
    int ascent_ = 0;
    int descent_ = 0;
    std::array<int, 4> box_{};
    std::size_t map_ = 0; // the chosen Unicode subtable
    int mapFormat_ = 0;   // 4 or 12
};

} // namespace tessaly
