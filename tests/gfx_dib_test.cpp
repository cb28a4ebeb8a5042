// The bitmap decoder: hand-built 4- and 8-bit bitmaps decode to the right
// pixels top row first, and damaged bytes are refused without reading past
// their end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "gfx/Image.h"
#include "tests/gfx_support.h"

// Distinct colours with every channel in use: entry i is a colour no other
// entry has, with a non-zero top byte in the table that must not survive.
static uint32_t tableEntry(uint32_t i)
{
    return 0xA5000000u | ((i * 37 + 11) & 0xFF) << 16 | ((i * 91 + 3) & 0xFF) << 8 | ((i * 53 + 200) & 0xFF);
}

static uint32_t expectedColour(uint32_t i)
{
    return tableEntry(i) & 0x00FFFFFFu;
}

static void putU32(std::vector<unsigned char>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.at(at + i) = static_cast<unsigned char>(v >> (8 * i));
}

TEST(GfxDib, FourBitOddWidthsDecodeTopRowFirst)
{
    // Widths whose rows end mid-byte and with 1..3 padding bytes.
    for (int32_t w : {1, 3, 5, 7, 9, 13}) {
        int32_t h = 4;
        auto index = [](int32_t x, int32_t y) { return uint32_t(x * 3 + y * 5) % 16; };
        std::vector<unsigned char> dib = MakeDib(w, h, 4, 16, tableEntry, index);
        int32_t dw = 0, dh = 0;
        ASSERT_EQ(DibSize(dib.data(), dib.size(), &dw, &dh), 1);
        EXPECT_EQ(dw, w);
        EXPECT_EQ(dh, h);
        TestImage img(w, h, 0x999999);
        ASSERT_EQ(ImageDecodeDib(&img.image, dib.data(), dib.size()), 1) << w;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                ASSERT_EQ(img.at(x, y), expectedColour(index(x, y))) << w << ": " << x << "," << y;
    }
}

TEST(GfxDib, EightBitDecodesTopRowFirst)
{
    for (int32_t w : {1, 2, 3, 32, 33}) {
        int32_t h = 5;
        auto index = [w](int32_t x, int32_t y) { return uint32_t(y * w + x) * 7 % 256; };
        std::vector<unsigned char> dib = MakeDib(w, h, 8, 256, tableEntry, index);
        TestImage img(w, h);
        ASSERT_EQ(ImageDecodeDib(&img.image, dib.data(), dib.size()), 1);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                ASSERT_EQ(img.at(x, y), expectedColour(index(x, y))) << x << "," << y;
    }
    // The stored bytes really are bottom-up: the first stored row is the
    // picture's last.
    std::vector<unsigned char> dib = MakeDib(4, 2, 8, 256, tableEntry, [](int32_t, int32_t y) { return y ? 9u : 4u; });
    EXPECT_EQ(dib[40 + 1024], 9);
    TestImage img(4, 2);
    ASSERT_EQ(ImageDecodeDib(&img.image, dib.data(), dib.size()), 1);
    EXPECT_EQ(img.at(0, 0), expectedColour(4));
    EXPECT_EQ(img.at(0, 1), expectedColour(9));
}

TEST(GfxDib, ShortenedColourTableIsHonoured)
{
    // biClrUsed = 3: the pixels follow three entries; the padding nibble of
    // the odd-width rows (0xE) is not a pixel and must not be refused.
    auto index = [](int32_t x, int32_t y) { return uint32_t(x + y) % 3; };
    std::vector<unsigned char> dib = MakeDib(5, 3, 4, 3, tableEntry, index, 3);
    TestImage img(5, 3);
    ASSERT_EQ(ImageDecodeDib(&img.image, dib.data(), dib.size()), 1);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 5; ++x)
            ASSERT_EQ(img.at(x, y), expectedColour(index(x, y)));
}

TEST(GfxDib, SizeMismatchRefusesAndChangesNothing)
{
    std::vector<unsigned char> dib = MakeDib(32, 32, 8, 256, tableEntry, [](int32_t x, int32_t) { return uint32_t(x); });
    for (auto [w, h] : {std::pair{32, 31}, {31, 32}, {33, 32}, {64, 64}}) {
        TestImage img(w, h, 0x313131);
        std::vector<unsigned char> copy = dib;
        EXPECT_EQ(ImageDecodeDib(&img.image, copy.data(), copy.size()), 0);
        for (uint32_t p : img.pixels())
            ASSERT_EQ(p, 0x313131u);
    }
}

// Each damaged variant is decoded from a buffer of exactly its own length
// (ASan would see a read past the end) and must be refused, leaving the
// Image as it was.
TEST(GfxDib, MalformedBytesAreRefused)
{
    const std::vector<unsigned char> good4 = MakeDib(7, 6, 4, 16, tableEntry, [](int32_t x, int32_t y) { return uint32_t(x ^ y) & 15; });
    const std::vector<unsigned char> good8 = MakeDib(6, 5, 8, 256, tableEntry, [](int32_t x, int32_t y) { return uint32_t(x * y); });
    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;
        int32_t w, h;
    };
    std::vector<Case> cases;
    auto variant = [&](const char* what, const std::vector<unsigned char>& base, int32_t w, int32_t h, auto change) {
        Case c{what, base, w, h};
        change(c.bytes);
        cases.push_back(c);
    };
    variant("header size 12", good4, 7, 6, [](auto& b) { putU32(b, 0, 12); });
    variant("header size 124", good4, 7, 6, [](auto& b) { putU32(b, 0, 124); });
    variant("1 bit", good4, 7, 6, [](auto& b) { b[14] = 1; });
    variant("24 bits", good8, 6, 5, [](auto& b) { b[14] = 24; });
    variant("RLE4", good4, 7, 6, [](auto& b) { putU32(b, 16, 2); });
    variant("RLE8", good8, 6, 5, [](auto& b) { putU32(b, 16, 1); });
    variant("planes 0", good8, 6, 5, [](auto& b) { b[12] = 0; });
    variant("zero width", good8, 0, 5, [](auto& b) { putU32(b, 4, 0); });
    variant("zero height", good8, 6, 0, [](auto& b) { putU32(b, 8, 0); });
    variant("negative width", good8, 6, 5, [](auto& b) { putU32(b, 4, uint32_t(-6)); });
    variant("top-down rows", good8, 6, 5, [](auto& b) { putU32(b, 8, uint32_t(-5)); });
    variant("huge width", good8, 6, 5, [](auto& b) { putU32(b, 4, 0x7FFFFFFF); });
    variant("huge height", good8, 6, 5, [](auto& b) { putU32(b, 8, 0x40000000); });
    variant("width beyond rows", good8, 7, 5, [](auto& b) { putU32(b, 4, 9); });
    variant("height beyond rows", good8, 6, 6, [](auto& b) { putU32(b, 8, 6); });
    variant("last byte missing", good4, 7, 6, [](auto& b) { b.pop_back(); });
    variant("table entries beyond 16", good4, 7, 6, [](auto& b) { putU32(b, 32, 17); });
    variant("table entries beyond 256", good8, 6, 5, [](auto& b) { putU32(b, 32, 300); });
    variant("index beyond shortened table", good8, 6, 5, [](auto& b) {
        putU32(b, 32, 200);  // pixels now start 224 bytes earlier: pad to keep them
        b.erase(b.begin() + 40 + 200 * 4, b.begin() + 40 + 256 * 4);
        b[b.size() - 3] = 250;  // pixel 5 of the top row (2 padding bytes follow)
    });
    variant("header only", std::vector<unsigned char>(good8.begin(), good8.begin() + 40), 6, 5, [](auto&) {});
    variant("truncated header", std::vector<unsigned char>(good8.begin(), good8.begin() + 39), 6, 5, [](auto&) {});
    variant("empty", std::vector<unsigned char>(), 6, 5, [](auto&) {});

    for (const Case& c : cases) {
        std::unique_ptr<unsigned char[]> exact(new unsigned char[c.bytes.size() + 1]);
        if (!c.bytes.empty())
            std::memcpy(exact.get(), c.bytes.data(), c.bytes.size());
        int32_t w = -7, h = -7;
        TestImage img(std::max(c.w, 1), std::max(c.h, 1), 0x424242);
        EXPECT_EQ(ImageDecodeDib(&img.image, exact.get(), c.bytes.size()), 0) << c.what;
        for (uint32_t p : img.pixels())
            ASSERT_EQ(p, 0x424242u) << c.what;
        if (std::string(c.what).find("index") == std::string::npos) {
            EXPECT_EQ(DibSize(exact.get(), c.bytes.size(), &w, &h), 0) << c.what;
            EXPECT_EQ(w, -7) << c.what;
        }
    }
    EXPECT_EQ(DibSize(nullptr, 100, nullptr, nullptr), 0);
    TestImage img(7, 6);
    EXPECT_EQ(ImageDecodeDib(&img.image, nullptr, 1000), 0);
    EXPECT_EQ(ImageDecodeDib(nullptr, good4.data(), good4.size()), 0);
    // The undamaged originals do decode: the refusals above are the damage.
    EXPECT_EQ(ImageDecodeDib(&img.image, good4.data(), good4.size()), 1);
}

