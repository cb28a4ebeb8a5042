// The bitmap decoder: hand-built 4- and 8-bit bitmaps decode top row first,
// and damaged bytes are refused without reading past their end.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "tests/gfx_support.h"

// Entry i of a colour table: unique, with a top byte that must not survive.
static uint32_t tableColour(uint32_t i)
{
    return 0xA5000000u | (i * 37 + 11) % 256 << 16 | (i * 91 + 3) % 256 << 8 | (i * 53 + 200) % 256;
}

static void put32(std::vector<unsigned char>& b, size_t at, uint32_t v)
{
    for (size_t i = 0; i < 4; ++i)
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// Header, `used` table entries (0: a full table), rows bottom-up padded with
// 0xEE, which must be ignored.
template <class Index>
static std::vector<unsigned char> makeDib(int32_t w, int32_t h, int bits, Index index, uint32_t used = 0)
{
    const uint32_t colours = used != 0 ? used : 1u << bits;
    const size_t stride = (size_t(w) * bits + 31) / 32 * 4;
    std::vector<unsigned char> b(40 + 4 * colours + stride * h, 0xEE);
    std::fill(b.begin(), b.begin() + 40, 0);
    put32(b, 0, 40);
    put32(b, 4, uint32_t(w));
    put32(b, 8, uint32_t(h));
    put32(b, 12, 1 | uint32_t(bits) << 16);
    put32(b, 32, used);
    for (uint32_t i = 0; i < colours; ++i)
        put32(b, 40 + 4 * i, tableColour(i));
    for (int32_t y = 0; y < h; ++y) {
        unsigned char* row = b.data() + 40 + 4 * colours + stride * size_t(h - 1 - y);
        for (int32_t x = 0; x < w; ++x) {
            uint32_t v = index(x, y);
            unsigned char& at = row[bits == 8 ? x : x / 2];
            at = static_cast<unsigned char>(bits == 8 ? v : x % 2 ? (at & 0xF0) | v : (v << 4) | (at & 0x0F));
        }
    }
    return b;
}

TEST(GfxDib, OddWidthsDecodeTopRowFirst)
{
    for (int bits : {4, 8})
        for (uint32_t used : {0u, 3u})  // a shortened table: the 0xE padding nibble is no pixel
            for (int32_t w : {1, 3, 5, 7, 33}) {
                auto index = [&](int32_t x, int32_t y) { return uint32_t(x * 21 + y * 35) % (used ? used : 1u << bits); };
                const std::vector<unsigned char> dib = makeDib(w, 4, bits, index, used);
                int32_t dw = 0, dh = 0;
                ASSERT_TRUE(DibSize(dib.data(), dib.size(), &dw, &dh) && dw == w && dh == 4);
                TestImage img(w, 4);
                ASSERT_EQ(ImageDecodeDib(&img.image, dib.data(), dib.size()), 1) << bits << " " << w;
                for (int32_t y = 0; y < 4; ++y)
                    for (int32_t x = 0; x < w; ++x)
                        ASSERT_EQ(img.at(x, y), tableColour(index(x, y)) & 0xFFFFFF) << w << ": " << x << "," << y;
            }
}

// Each case is decoded from a buffer of exactly its own length (ASan sees a
// read past the end) into an Image that must come out unchanged.
TEST(GfxDib, MalformedBytesAreRefused)
{
    const auto good4 = makeDib(7, 6, 4, [](int32_t x, int32_t y) { return uint32_t(x ^ y) & 15; });
    const auto good8 = makeDib(6, 5, 8, [](int32_t x, int32_t y) { return uint32_t(x * y); });
    using Bytes = std::vector<unsigned char>;
    struct Case {
        const char* what;
        Bytes bytes;
        int32_t w, h;
        bool headerOk;
    };
    auto with = [](Bytes b, size_t at, uint32_t v) { put32(b, at, v); return b; };
    Bytes shortTable = with(good8, 32, 200);  // pixels move up; index 250 lies outside
    shortTable.erase(shortTable.begin() + 40 + 200 * 4, shortTable.begin() + 40 + 256 * 4);
    shortTable[shortTable.size() - 3] = 250;
    const Case cases[] = {
        {"header size 12", with(good4, 0, 12), 7, 6, false},
        {"1 bit", with(good4, 12, 1 | 1 << 16), 7, 6, false},
        {"24 bits", with(good8, 12, 1 | 24 << 16), 6, 5, false},
        {"planes 0", with(good8, 12, 8 << 16), 6, 5, false},
        {"RLE4", with(good4, 16, 2), 7, 6, false},
        {"zero width", with(good8, 4, 0), 6, 5, false},
        {"top-down rows", with(good8, 8, uint32_t(-5)), 6, 5, false},
        {"huge width", with(good8, 4, 0x7FFFFFFF), 6, 5, false},
        {"width beyond rows", with(good8, 4, 9), 9, 5, false},
        {"height beyond rows", with(good8, 8, 6), 6, 6, false},
        {"table beyond 16", with(good4, 32, 17), 7, 6, false},
        {"last byte missing", Bytes(good4.begin(), good4.end() - 1), 7, 6, false},
        {"short header", Bytes(good8.begin(), good8.begin() + 39), 6, 5, false},
        {"empty", Bytes(), 6, 5, false},
        {"wrong height", good8, 6, 4, true},
        {"index beyond table", shortTable, 6, 5, true},
    };
    for (const Case& c : cases) {
        std::unique_ptr<unsigned char[]> exact(new unsigned char[c.bytes.size()]);
        std::copy(c.bytes.begin(), c.bytes.end(), exact.get());
        TestImage img(c.w, c.h, 0x424242);
        EXPECT_EQ(ImageDecodeDib(&img.image, exact.get(), c.bytes.size()), 0) << c.what;
        EXPECT_EQ(img.pixels(), std::vector<uint32_t>(size_t(c.w) * c.h, 0x424242)) << c.what;
        int32_t w = -7, h = -7;
        EXPECT_EQ(DibSize(exact.get(), c.bytes.size(), &w, &h), int(c.headerOk)) << c.what;
        EXPECT_EQ(w != -7, c.headerOk) << c.what;
    }
    TestImage img(7, 6);
    EXPECT_EQ(ImageDecodeDib(&img.image, nullptr, 1000), 0);
    EXPECT_EQ(ImageDecodeDib(nullptr, good4.data(), good4.size()), 0);
    EXPECT_EQ(ImageDecodeDib(&img.image, good4.data(), good4.size()), 1);  // the damage is what is refused
}
