#include "reports/truetype_font.h"

#include "framework/system_file.h"

namespace tessaly {

namespace {

constexpr std::size_t kLargestFont = std::size_t{32} << 20U;

int16_t signedOf(std::uint16_t value)
{
    return static_cast<int16_t>(value);
}

} // namespace

std::uint16_t TrueTypeFont::u16(std::size_t at) const
{
    if (at + 2 > data_.size()) {
        return 0;
    }
    return static_cast<std::uint16_t>((static_cast<unsigned char>(data_[at]) << 8U) |
                                      static_cast<unsigned char>(data_[at + 1]));
}

std::uint32_t TrueTypeFont::u32(std::size_t at) const
{
    return (static_cast<std::uint32_t>(u16(at)) << 16U) | u16(at + 2);
}

bool TrueTypeFont::table(std::string_view tag, Table& out) const
{
    const std::uint16_t count = u16(4);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t record = 12 + 16 * i;
        if (record + 16 > data_.size()) {
            return false;
        }
        if (std::string_view{data_}.substr(record, 4) == tag) {
            out = {u32(record + 8), u32(record + 12)};
            return out.offset + static_cast<std::size_t>(out.length) <= data_.size();
        }
    }
    return false;
}

bool TrueTypeFont::readMap(const Table& cmap)
{
    // The full Unicode map (format 12) when there is one, else the map of
    // the first 65,536 characters (format 4).
    const std::uint16_t count = u16(cmap.offset + 2);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t record = cmap.offset + 4 + 8 * i;
        const std::uint16_t platform = u16(record);
        const std::uint16_t encoding = u16(record + 2);
        const std::size_t sub = cmap.offset + u32(record + 4);
        const std::uint16_t format = u16(sub);
        const bool unicode = platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10));
        if (!unicode || sub >= data_.size()) {
            continue;
        }
        if (format == 12 || (format == 4 && mapFormat_ != 12)) {
            map_ = sub;
            mapFormat_ = format;
        }
    }
    return mapFormat_ != 0;
}

bool TrueTypeFont::load(const std::string& path)
{
    if (!readWholeFile(path, data_, kLargestFont).ok() || data_.size() < 12) {
        return false;
    }
    const std::uint32_t version = u32(0);
    if (version != 0x00010000U && version != 0x74727565U) { // TrueType outlines only
        return false;
    }
    Table head;
    Table hhea;
    Table hmtx;
    Table cmap;
    if (!table("head", head) || !table("hhea", hhea) || !table("hmtx", hmtx) ||
        !table("cmap", cmap) || !readMap(cmap)) {
        return false;
    }
    unitsPerEm_ = u16(head.offset + 18);
    if (unitsPerEm_ == 0) {
        return false;
    }
    box_ = {signedOf(u16(head.offset + 36)), signedOf(u16(head.offset + 38)),
            signedOf(u16(head.offset + 40)), signedOf(u16(head.offset + 42))};
    ascent_ = signedOf(u16(hhea.offset + 4));
    descent_ = signedOf(u16(hhea.offset + 6));
    advance_ = u16(hmtx.offset);
    return advance_ > 0;
}

std::uint16_t TrueTypeFont::glyph(char32_t cp) const
{
    if (mapFormat_ == 12) {
        const std::uint32_t groups = u32(map_ + 12);
        for (std::uint32_t i = 0; i < groups; ++i) {
            const std::size_t group = map_ + 16 + 12 * static_cast<std::size_t>(i);
            if (cp >= u32(group) && cp <= u32(group + 4)) {
                return static_cast<std::uint16_t>(u32(group + 8) + (cp - u32(group)));
            }
        }
        return 0;
    }
    if (mapFormat_ != 4 || cp > 0xFFFFU) {
        return 0;
    }
    const std::size_t segments = u16(map_ + 6) / 2U;
    const std::size_t ends = map_ + 14;
    const std::size_t starts = ends + 2 * segments + 2;
    const std::size_t deltas = starts + 2 * segments;
    const std::size_t ranges = deltas + 2 * segments;
    for (std::size_t i = 0; i < segments; ++i) {
        if (cp > u16(ends + 2 * i)) {
            continue;
        }
        const std::uint16_t start = u16(starts + 2 * i);
        if (cp < start) {
            return 0;
        }
        const std::uint16_t delta = u16(deltas + 2 * i);
        const std::uint16_t range = u16(ranges + 2 * i);
        if (range == 0) {
            return static_cast<std::uint16_t>(cp + delta);
        }
        const std::uint16_t found = u16(ranges + 2 * i + range + 2 * (cp - start));
        return found == 0 ? 0 : static_cast<std::uint16_t>(found + delta);
    }
    return 0;
}

} // namespace tessaly
