// FaceText.cpp -- face-font text on SDL_ttf: fontconfig turns the face name
// into a font file, SDL_ttf sizes, measures and renders the string, and the
// rendered coverage is blended onto the Image here.
#include "platform/FaceText.h"

#include <SDL2/SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "gfx/Image.h"

// Sizes are asked of FreeType at 72 dots per inch, so a point is a pixel.
static constexpr unsigned kPointDpi = 72;
// Cell height used when the caller leaves the size to us (height 0).
static constexpr int32_t kDefaultCellHeight = 16;
// Fonts kept open at once; the game uses one, the tests a few more.
static constexpr int kFontCacheSize = 8;
// Largest point size tried; a cell taller than any screen gets this.
static constexpr int32_t kMaxPointSize = 2048;
// Longest face name kept; longer names are not looked up at all.
static constexpr size_t kFaceNameMax = 64;
// Longest string whose rendering is kept from one frame to the next.
static constexpr size_t kKeptTextMax = 128;
// The letters whose mean advance stands for a face's average character width.
static constexpr const char* kAverageSample = "abcdefghijklmnopqrstuvwxyz";

struct FaceFont {
    char face[kFaceNameMax];  // the name as asked for ("Arial")
    int32_t width;            // requested average character width, 0 = natural
    int32_t height;           // requested cell height
    TTF_Font* font;           // null when the face was not found or not opened
    int used;                 // the slot holds a lookup (found or not)
};

static FaceFont fontCache[kFontCacheSize];
static int nextEvict;  // round-robin victim when every slot is used
static int ttfStarted;
static int fontconfigStarted;
static int hookRegistered;

// One pixel of a rendered string that has any coverage: its place in the
// text's cell and its colour with the coverage in the top byte. Most of a
// cell is empty, so a string is kept as the list of these alone.
struct InkPixel {
    int32_t i, j;
    uint32_t argb;
};

// A string as rendered: its inked pixels in reading order.
struct Rendering {
    std::vector<InkPixel> ink;
    int32_t width = 0, height = 0;  // the cell
};

// The last string rendered, kept because the title is drawn every frame of
// the attract screen and rendering means allocating.
struct KeptText {
    const FaceFont* font = nullptr;
    uint32_t colour = 0;
    char text[kKeptTextMax] = {};
    bool valid = false;
    Rendering rendering;
};
static KeptText kept;

// The last string measured: the title is measured every frame too.
struct KeptMeasure {
    const FaceFont* font = nullptr;
    char text[kKeptTextMax] = {};
    int32_t width = 0, height = 0;
};
static KeptMeasure measured;

// The thread of FaceTextPrepare while it may still be running. It is
// never left to a destructor: exit joins it through its own hook.
static std::thread* preparer;

static void waitForPreparer()
{
    if (preparer == nullptr)
        return;
    preparer->join();
    delete preparer;
    preparer = nullptr;
}

static void forgetKeptText()
{
    kept.valid = false;
    kept.font = nullptr;
    kept.rendering = Rendering{};
}

void FaceTextShutdown()
{
    waitForPreparer();
    forgetKeptText();
    measured = KeptMeasure{};
    for (FaceFont& f : fontCache) {
        if (f.font != nullptr)
            TTF_CloseFont(f.font);
        f = FaceFont{};
    }
    nextEvict = 0;
    if (ttfStarted) {
        TTF_Quit();
        ttfStarted = 0;
    }
    // Nothing else in the game uses fontconfig, so its configuration can go
    // too (it would otherwise stay allocated until the process ends).
    if (fontconfigStarted) {
        FcFini();
        fontconfigStarted = 0;
    }
}

static int startTtf()
{
    if (ttfStarted)
        return 1;
    if (TTF_Init() != 0)
        return 0;
    ttfStarted = 1;
    if (!hookRegistered) {
        std::atexit(FaceTextShutdown);
        hookRegistered = 1;
    }
    return 1;
}

// True when `family` is one of the families the substituted pattern binds
// strongly: the name asked for and the stand-ins the configuration declares
// for it. The weakly bound ones are the generic defaults (sans-serif and its
// list) that fontconfig appends to every request; a match among those means
// the face itself was not found.
static bool isRequestedFamily(FcPattern* request, const FcChar8* family)
{
    FcValue value;
    FcValueBinding binding;
    for (int i = 0; FcPatternGetWithBinding(request, FC_FAMILY, i, &value, &binding) == FcResultMatch; i++) {
        if (binding != FcValueBindingWeak && value.type == FcTypeString && FcStrCmpIgnoreCase(value.u.s, family) == 0)
            return true;
    }
    return false;
}

// Opens the font file that fontconfig finds for the face, at a placeholder
// size; null when the face is unknown or the file will not open.
static TTF_Font* openFace(const char* face)
{
    if (!fontconfigStarted) {
        if (!FcInit())
            return nullptr;
        fontconfigStarted = 1;
    }
    FcPattern* request = FcPatternCreate();
    if (request == nullptr)
        return nullptr;
    // The name is added as a family, not parsed, so characters such as ':'
    // or '-' in it are never read as style options.
    FcPatternAddString(request, FC_FAMILY, reinterpret_cast<const FcChar8*>(face));
    FcConfigSubstitute(nullptr, request, FcMatchPattern);
    FcDefaultSubstitute(request);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, request, &result);
    TTF_Font* font = nullptr;
    if (match != nullptr && result == FcResultMatch) {
        bool found = false;
        FcChar8* family = nullptr;
        for (int i = 0; !found && FcPatternGetString(match, FC_FAMILY, i, &family) == FcResultMatch; i++)
            found = isRequestedFamily(request, family);
        FcChar8* file = nullptr;
        int index = 0;
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        if (found && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch)
            font = TTF_OpenFontIndex(reinterpret_cast<const char*>(file), kDefaultCellHeight, index);
    }
    if (match != nullptr)
        FcPatternDestroy(match);
    FcPatternDestroy(request);
    // The configuration and the font lists are only needed for a lookup,
    // and a run looks up one face: they are let go rather than kept for
    // the rest of the run.
    FcFini();
    fontconfigStarted = 0;
    return font;
}

static int setPointSize(TTF_Font* font, int pt, unsigned hdpi)
{
    return TTF_SetFontSizeDPI(font, pt, hdpi, kPointDpi) == 0;
}

// The largest point size whose cell height does not exceed `cell` (exactly
// `cell` where the face has such a size: 35 points give Liberation Sans a
// 40-pixel cell). The cell grows with the size, so a binary search finds it.
static int pointSizeForCell(TTF_Font* font, int32_t cell)
{
    int lo = 1;
    int hi = std::min(cell, kMaxPointSize / 2) * 2;  // the em of any face is well under two cells
    while (lo < hi) {
        int mid = lo + (hi - lo + 1) / 2;
        if (setPointSize(font, mid, kPointDpi) && TTF_FontHeight(font) <= cell)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

// Sizes a freshly opened font for the requested width and height.
static int sizeFont(TTF_Font* font, int32_t width, int32_t height)
{
    int pt;
    if (height > 0)
        pt = pointSizeForCell(font, height);
    else if (height < 0)
        pt = height < -kMaxPointSize ? kMaxPointSize : -height;
    else
        pt = pointSizeForCell(font, kDefaultCellHeight);
    if (!setPointSize(font, pt, kPointDpi))
        return 0;
    if (width <= 0)
        return 1;
    int sampleWidth = 0;
    int sampleHeight = 0;
    if (TTF_SizeText(font, kAverageSample, &sampleWidth, &sampleHeight) != 0 || sampleWidth <= 0)
        return 0;
    // Horizontal resolution scales every advance and glyph width alike.
    int64_t letters = static_cast<int64_t>(std::strlen(kAverageSample));
    int64_t hdpi = (static_cast<int64_t>(kPointDpi) * width * letters + sampleWidth / 2) / sampleWidth;
    hdpi = std::clamp<int64_t>(hdpi, 1, 64 * kPointDpi);
    return setPointSize(font, pt, static_cast<unsigned>(hdpi));
}

// The cached font for the face and size, opening it on first use; null
// when it cannot be had (remembered, so a missing face costs one lookup).
static const FaceFont* faceFont(const char* face, int32_t width, int32_t height)
{
    if (face == nullptr || std::strlen(face) >= kFaceNameMax)
        return nullptr;
    for (const FaceFont& f : fontCache) {
        if (f.used && f.width == width && f.height == height && std::strcmp(f.face, face) == 0)
            return f.font != nullptr ? &f : nullptr;
    }
    if (!startTtf())
        return nullptr;
    FaceFont* slot = nullptr;
    for (FaceFont& f : fontCache) {
        if (!f.used) {
            slot = &f;
            break;
        }
    }
    if (slot == nullptr) {
        slot = &fontCache[nextEvict];
        nextEvict = (nextEvict + 1) % kFontCacheSize;
        if (kept.font == slot)
            forgetKeptText();
        if (measured.font == slot)
            measured = KeptMeasure{};
        if (slot->font != nullptr)
            TTF_CloseFont(slot->font);
    }
    *slot = FaceFont{};
    std::memcpy(slot->face, face, std::strlen(face) + 1);
    slot->width = width;
    slot->height = height;
    slot->used = 1;
    slot->font = openFace(face);
    if (slot->font != nullptr && !sizeFont(slot->font, width, height)) {
        TTF_CloseFont(slot->font);
        slot->font = nullptr;
    }
    return slot->font != nullptr ? slot : nullptr;
}

static bool hasPixels(const Image* image)
{
    int32_t pitch = 0;
    return image != nullptr && ImagePixels(image, &pitch) != nullptr;
}

// Measures into the kept measure; false when the string cannot be measured.
static bool measure(const FaceFont* f, const char* text)
{
    if (measured.font != f || std::strcmp(measured.text, text) != 0) {
        int w = 0;
        int h = 0;
        if (TTF_SizeText(f->font, text, &w, &h) != 0)
            return false;
        // The rendering is exactly this size, so the width is the drawn one.
        measured = KeptMeasure{};
        size_t length = std::strlen(text);
        if (length < kKeptTextMax) {
            measured.font = f;
            std::memcpy(measured.text, text, length + 1);
        }
        measured.width = w;
        measured.height = h;
    }
    return true;
}

void MeasureFaceText(Image* image, const char* text, const char* face, int32_t width, int32_t height, int32_t* outWidth,
                     int32_t* outHeight)
{
    waitForPreparer();
    if (text == nullptr || !hasPixels(image))
        return;
    const FaceFont* f = faceFont(face, width, height);
    if (f == nullptr || !measure(f, text))
        return;
    if (outWidth != nullptr)
        *outWidth = measured.width;
    if (outHeight != nullptr)
        *outHeight = measured.height;
}

// Renders the string smoothed in the colour and keeps its inked pixels.
static bool renderText(const FaceFont* f, const char* text, uint32_t colour, Rendering* out)
{
    SDL_Color fg{static_cast<Uint8>(colour >> 16), static_cast<Uint8>(colour >> 8), static_cast<Uint8>(colour), 255};
    SDL_Surface* rendered = TTF_RenderText_Blended(f->font, text, fg);
    if (rendered == nullptr)
        return false;
    SDL_Surface* surface = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(rendered);
    if (surface == nullptr)
        return false;
    bool ok = SDL_LockSurface(surface) == 0;
    if (ok) {
        out->ink.clear();
        out->width = surface->w;
        out->height = surface->h;
        for (int32_t j = 0; j < surface->h; j++) {
            const uint32_t* row =
                reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(surface->pixels) + j * surface->pitch);
            for (int32_t i = 0; i < surface->w; i++)
                if (row[i] >> 24)
                    out->ink.push_back(InkPixel{i, j, row[i]});
        }
        SDL_UnlockSurface(surface);
    }
    SDL_FreeSurface(surface);
    return ok;
}

// The string's rendering: the kept one when it is the same string in the
// same font and colour, else rendered afresh into `scratch` (and kept, when
// it is short enough).
static const Rendering* findRendering(const FaceFont* f, const char* text, uint32_t colour, Rendering* scratch)
{
    if (kept.valid && kept.font == f && kept.colour == colour && std::strcmp(kept.text, text) == 0)
        return &kept.rendering;
    size_t length = std::strlen(text);
    if (length >= kKeptTextMax)
        return renderText(f, text, colour, scratch) ? scratch : nullptr;
    kept.valid = false;  // its pixel list is refilled in place, keeping its room
    if (!renderText(f, text, colour, &kept.rendering))
        return nullptr;
    kept.font = f;
    kept.colour = colour;
    std::memcpy(kept.text, text, length + 1);
    kept.valid = true;
    return &kept.rendering;
}

// Colour s with coverage a (0..255) over d, each channel rounded to the
// nearest: (s x a + d x (255 - a)) / 255. Red and blue are worked side by
// side in one word (no lane ever reaches 65536); x / 255 rounded is
// (x + 128 + ((x + 128) >> 8)) >> 8 for every x up to 255 x 255.
static uint32_t blendPixel(uint32_t s, uint32_t d, uint32_t a)
{
    uint32_t rb = (s & 0xFF00FF) * a + (d & 0xFF00FF) * (255 - a) + 0x800080;
    rb = ((rb + ((rb >> 8) & 0xFF00FF)) >> 8) & 0xFF00FF;
    uint32_t g = ((s >> 8) & 0xFF) * a + ((d >> 8) & 0xFF) * (255 - a) + 0x80;
    g = ((g + (g >> 8)) >> 8) & 0xFF;
    return rb | g << 8;
}

// Blends the inked pixels onto the Image's pixels. Upright, text pixel
// (i, j) lands on (x + i, y + j); upside down on (x - 1 - i, y - 1 - j),
// the half turn about the corner point (x, y).
static void blendInk(const Rendering& text, uint32_t* pixels, int32_t pitch, int32_t iw, int32_t ih, int32_t x,
                     int32_t y, int upsideDown)
{
    // The text pixels [i0, i1) x [j0, j1) that land inside the Image, worked
    // out in 64 bits so that coordinates near the int32 limits cannot
    // overflow; clamped to the cell, they fit 32 bits again.
    int64_t i0, i1, j0, j1;
    if (upsideDown) {
        i0 = static_cast<int64_t>(x) - iw;
        i1 = x;
        j0 = static_cast<int64_t>(y) - ih;
        j1 = y;
    } else {
        i0 = -static_cast<int64_t>(x);
        i1 = static_cast<int64_t>(iw) - x;
        j0 = -static_cast<int64_t>(y);
        j1 = static_cast<int64_t>(ih) - y;
    }
    i0 = std::max<int64_t>(i0, 0);
    i1 = std::min<int64_t>(i1, text.width);
    j0 = std::max<int64_t>(j0, 0);
    j1 = std::min<int64_t>(j1, text.height);
    if (i0 >= i1 || j0 >= j1)
        return;
    // Image pixel of text pixel (0, 0) and the step per text column and row.
    const int64_t step = upsideDown ? -1 : 1;
    const int64_t origin =
        upsideDown ? (static_cast<int64_t>(y) - 1) * pitch + x - 1 : static_cast<int64_t>(y) * pitch + x;
    for (const InkPixel& p : text.ink) {
        if (p.i < i0 || p.i >= i1 || p.j < j0 || p.j >= j1)
            continue;
        uint32_t* dst = &pixels[origin + step * (static_cast<int64_t>(p.j) * pitch + p.i)];
        uint32_t a = p.argb >> 24;
        *dst = a == 255 ? p.argb & 0x00FFFFFF : blendPixel(p.argb, *dst, a);
    }
}

void DrawFaceText(Image* image, const char* text, int32_t x, int32_t y, uint32_t colour, const char* face,
                  int32_t width, int32_t height, int upsideDown)
{
    waitForPreparer();
    if (text == nullptr || text[0] == '\0' || !hasPixels(image))
        return;
    const FaceFont* f = faceFont(face, width, height);
    if (f == nullptr)
        return;
    Rendering scratch;  // only a string too long to keep is rendered into it
    const Rendering* rendering = findRendering(f, text, colour & 0x00FFFFFF, &scratch);
    if (rendering == nullptr)
        return;
    uint32_t* pixels = nullptr;
    uint32_t* unused = nullptr;
    int32_t pitch = 0;
    int32_t unusedPitch = 0;
    ImageLock(image, image, &pixels, &unused, &pitch, &unusedPitch);
    if (pixels != nullptr)
        blendInk(*rendering, pixels, pitch, image->width, image->height, x, y, upsideDown);
    ImageUnlock(image, image);
}

void FaceTextPrepare(const char* text, const char* face, int32_t width, int32_t height, uint32_t colour)
{
    waitForPreparer();
    if (text == nullptr || face == nullptr)
        return;
    static bool hooked = false;
    if (!hooked) {
        std::atexit(waitForPreparer);  // before the thread exists, so it runs first
        hooked = true;
    }
    std::string t = text, fc = face;
    preparer = new (std::nothrow) std::thread([t, fc, width, height, colour] {
        const FaceFont* f = faceFont(fc.c_str(), width, height);
        Rendering scratch;
        if (f != nullptr && measure(f, t.c_str()))
            findRendering(f, t.c_str(), colour & 0x00FFFFFF, &scratch);
    });
}
