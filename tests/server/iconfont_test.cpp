// The compiled-in icon font: its base64 text decodes to a whole, consistent WOFF file that
// maps the three icon code points to drawn glyphs.
#include "server/iconfont.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

using namespace quorvin;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::optional<Bytes> decodeBase64(std::string_view text) {
    static constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    Bytes out;
    std::uint32_t bits = 0;
    int count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '=') {
            // Padding only at the very end, at most two characters.
            if (i + 2 < text.size() || (i + 1 < text.size() && text[i + 1] != '=')) {
                return std::nullopt;
            }
            break;
        }
        const auto value = alphabet.find(text[i]);
        if (value == std::string_view::npos) {
            return std::nullopt;
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        if (++count == 4) {
            out.push_back(static_cast<std::uint8_t>(bits >> 16));
            out.push_back(static_cast<std::uint8_t>(bits >> 8));
            out.push_back(static_cast<std::uint8_t>(bits));
            bits = 0;
            count = 0;
        }
    }
    if (count == 3) {
        out.push_back(static_cast<std::uint8_t>(bits >> 10));
        out.push_back(static_cast<std::uint8_t>(bits >> 2));
    } else if (count == 2) {
        out.push_back(static_cast<std::uint8_t>(bits >> 4));
    } else if (count != 0) {
        return std::nullopt;
    }
    return out;
}

// Big-endian reads that fail the test rather than read past the end.
struct Reader {
    const Bytes& data;
    std::uint32_t u16(std::size_t at) const {
        if (at + 2 > data.size()) {
            ADD_FAILURE() << "read past the end at " << at;
            return 0;
        }
        return (std::uint32_t{data[at]} << 8) | data[at + 1];
    }
    std::uint32_t u32(std::size_t at) const { return (u16(at) << 16) | u16(at + 2); }
};

struct Table {
    std::size_t offset;
    std::size_t length;
    std::uint32_t checksum;
};

// The table directory of a WOFF file whose tables are all stored uncompressed.
std::map<std::string, Table> readTables(const Bytes& woff) {
    Reader r{woff};
    std::map<std::string, Table> tables;
    const std::uint32_t count = r.u16(12);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = 44 + 20 * i;
        if (entry + 20 > woff.size()) {
            ADD_FAILURE() << "directory past the end";
            break;
        }
        std::string tag(woff.begin() + entry, woff.begin() + entry + 4);
        const std::uint32_t offset = r.u32(entry + 4);
        const std::uint32_t length = r.u32(entry + 8);
        EXPECT_EQ(length, r.u32(entry + 12)) << tag << " is compressed";
        EXPECT_LE(std::size_t{offset} + length, woff.size()) << tag;
        tables[tag] = Table{offset, length, r.u32(entry + 16)};
    }
    return tables;
}

std::uint32_t tableChecksum(const Bytes& woff, const Table& table, bool isHead) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < table.length; i += 4) {
        std::uint32_t word = 0;
        for (std::size_t j = 0; j < 4; ++j) {
            const std::size_t at = table.offset + i + j;
            word = (word << 8) | (i + j < table.length ? woff[at] : 0);
        }
        // The head table's checksum is taken with its checkSumAdjustment (bytes 8 to 11) zero.
        sum += (isHead && i == 8) ? 0 : word;
    }
    return sum;
}

// The glyph index for a code point from the format 4 subtable of the character map.
std::uint32_t glyphFor(const Bytes& woff, const Table& cmap, std::uint32_t codePoint) {
    Reader r{woff};
    const std::uint32_t subtables = r.u16(cmap.offset + 2);
    for (std::uint32_t i = 0; i < subtables; ++i) {
        const std::size_t sub = cmap.offset + r.u32(cmap.offset + 4 + 8 * i + 4);
        if (r.u16(sub) != 4) {
            continue;
        }
        const std::uint32_t segments = r.u16(sub + 6) / 2;
        const std::size_t ends = sub + 14, starts = ends + 2 * segments + 2;
        const std::size_t deltas = starts + 2 * segments, rangeOffsets = deltas + 2 * segments;
        for (std::uint32_t s = 0; s < segments; ++s) {
            if (codePoint > r.u16(ends + 2 * s) || codePoint < r.u16(starts + 2 * s)) {
                continue;
            }
            const std::uint32_t rangeOffset = r.u16(rangeOffsets + 2 * s);
            std::uint32_t glyph = codePoint;
            if (rangeOffset != 0) {
                const std::size_t at =
                    rangeOffsets + 2 * s + rangeOffset + 2 * (codePoint - r.u16(starts + 2 * s));
                glyph = r.u16(at);
                if (glyph == 0) {
                    return 0;
                }
            }
            return (glyph + r.u16(deltas + 2 * s)) & 0xFFFF;
        }
    }
    return 0;
}

// The font's names in the Windows platform's UTF-16BE, reduced to ASCII.
std::map<std::uint32_t, std::string> windowsNames(const Bytes& woff, const Table& name) {
    Reader r{woff};
    std::map<std::uint32_t, std::string> names;
    const std::uint32_t count = r.u16(name.offset + 2);
    const std::size_t strings = name.offset + r.u16(name.offset + 4);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t record = name.offset + 6 + 12 * i;
        if (r.u16(record) != 3) {
            continue;
        }
        std::string text;
        const std::size_t start = strings + r.u16(record + 10);
        for (std::size_t at = start; at < start + r.u16(record + 8); at += 2) {
            text.push_back(static_cast<char>(r.u16(at)));
        }
        names[r.u16(record + 6)] = text;
    }
    return names;
}

class IconFont : public ::testing::Test {
protected:
    void SetUp() override {
        auto decoded = decodeBase64(iconFontWoffBase64());
        ASSERT_TRUE(decoded.has_value()) << "not base64";
        woff = std::move(*decoded);
        ASSERT_GE(woff.size(), 44u);
        tables = readTables(woff);
    }
    Bytes woff;
    std::map<std::string, Table> tables;
};

} // namespace

TEST_F(IconFont, HeaderDescribesTheWholeFile) {
    Reader r{woff};
    EXPECT_EQ(std::string(woff.begin(), woff.begin() + 4), "wOFF");
    EXPECT_EQ(r.u32(4), 0x00010000u) << "TrueType outlines";
    EXPECT_EQ(r.u32(8), woff.size()) << "length field against the decoded size";
    for (const char* tag :
         {"OS/2", "cmap", "glyf", "head", "hhea", "hmtx", "loca", "maxp", "name", "post"}) {
        EXPECT_TRUE(tables.contains(tag)) << tag;
    }
}

// Every byte of every table survives the trip through base64: their checksums match.
TEST_F(IconFont, TableChecksumsMatch) {
    for (const auto& [tag, table] : tables) {
        EXPECT_EQ(tableChecksum(woff, table, tag == "head"), table.checksum) << tag;
    }
}

TEST_F(IconFont, NamesAndUnitsPerEm) {
    ASSERT_TRUE(tables.contains("head") && tables.contains("name"));
    Reader r{woff};
    EXPECT_EQ(r.u16(tables["head"].offset + 18), 512u);
    auto names = windowsNames(woff, tables["name"]);
    EXPECT_EQ(names[1], "entypo");
    EXPECT_EQ(names[2], "Regular");
    EXPECT_EQ(names[5], "Version 1.0");
}

TEST_F(IconFont, IconCodePointsMapToDrawnGlyphs) {
    ASSERT_TRUE(tables.contains("cmap") && tables.contains("loca") && tables.contains("head"));
    Reader r{woff};
    const bool longOffsets = r.u16(tables["head"].offset + 50) == 1;
    auto glyphSize = [&](std::uint32_t glyph) {
        const std::size_t loca = tables["loca"].offset;
        if (longOffsets) {
            return r.u32(loca + 4 * (glyph + 1)) - r.u32(loca + 4 * glyph);
        }
        return 2 * (r.u16(loca + 2 * (glyph + 1)) - r.u16(loca + 2 * glyph));
    };
    std::set<std::uint32_t> glyphs;
    for (std::uint32_t codePoint : {0xE600u, 0xE601u, 0xE602u}) {
        const std::uint32_t glyph = glyphFor(woff, tables["cmap"], codePoint);
        EXPECT_NE(glyph, 0u) << std::hex << codePoint << " is not mapped";
        EXPECT_GT(glyphSize(glyph), 12u) << std::hex << codePoint << " has no outline";
        glyphs.insert(glyph);
    }
    EXPECT_EQ(glyphs.size(), 3u) << "each icon has its own glyph";
    EXPECT_EQ(glyphFor(woff, tables["cmap"], 'A'), 0u);
}
