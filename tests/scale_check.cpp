// scale_check -- is a screen capture the 640x480 picture filled sharp into
// its box? Used by the end-to-end scaling scenarios.
//
//   scale_check SCREEN.rgb W H AREA(WxH+X+Y) fill|whole [PICTURE.rgb]
//
// Files are raw 8-bit RGB. The box is found as the non-black part of the
// area and must be the mode's fit within a pixel. Every screen pixel whose
// centre lies at least half a screen pixel inside one picture pixel must
// have its colour (each channel within 3); every other one must lie between
// the colours of the picture pixels around it. Without PICTURE the picture
// is read back from the screen at the centres of its pixels. Prints the
// box, the scale, the share of the height and the count of mixed seam pixels.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

struct Rgb {
    int c[3];
};

static std::vector<Rgb> load(const char* path, size_t pixels) {
    std::vector<unsigned char> bytes(pixels * 3);
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr || std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size())
        std::fprintf(stderr, "cannot read %zu pixels from %s\n", pixels, path), std::exit(2);
    std::fclose(f);
    std::vector<Rgb> out(pixels);
    for (size_t i = 0; i < pixels; i++) out[i] = {{bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]}};
    return out;
}

int main(int argc, char** argv) {
    int W = 0, H = 0, aw = 0, ah = 0, ax = 0, ay = 0;
    if (argc < 6 || std::sscanf(argv[4], "%dx%d+%d+%d", &aw, &ah, &ax, &ay) != 4)
        return std::fputs("usage: scale_check SCREEN.rgb W H WxH+X+Y fill|whole [PICTURE.rgb]\n", stderr), 2;
    W = std::atoi(argv[2]), H = std::atoi(argv[3]);
    const bool whole = argv[5][0] == 'w';
    const std::vector<Rgb> screen = load(argv[1], size_t(W) * size_t(H));
    auto at = [&](int x, int y) { return screen[size_t(y) * size_t(W) + size_t(x)]; };
    // The box: the non-black part of the area.
    int x0 = ax + aw, x1 = ax - 1, y0 = ay + ah, y1 = ay - 1;
    for (int y = ay; y < ay + ah; y++)
        for (int x = ax; x < ax + aw; x++)
            if (const Rgb p = at(x, y); p.c[0] + p.c[1] + p.c[2] > 24)
                x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    const int bw = x1 - x0 + 1, bh = y1 - y0 + 1, k = std::min(aw / 640, ah / 480);
    const double fit = std::min(aw / 640.0, ah / 480.0);
    const double ew = whole && k >= 1 ? 640 * k : 640 * fit, eh = whole && k >= 1 ? 480 * k : 480 * fit;
    if (std::fabs(bw - ew) > 1 || std::fabs(bh - eh) > 1 || std::fabs(x0 - ax - (aw - ew) / 2) > 1 ||
        std::fabs(y0 - ay - (ah - eh) / 2) > 1)
        return std::printf("box %dx%d+%d+%d, not the fit %.1fx%.1f centred\n", bw, bh, x0, y0, ew, eh), 1;
    const double sx = bw / 640.0, sy = bh / 480.0;
    std::vector<Rgb> picture(640 * 480);
    if (argc > 6)
        picture = load(argv[6], picture.size());
    else
        for (int i = 0; i < 640 * 480; i++)
            picture[size_t(i)] = at(x0 + int((i % 640 + 0.5) * sx), y0 + int((i / 640 + 0.5) * sy));
    long wrong = 0, mixed = 0;
    for (int y = y0; y <= y1; y++) {
        for (int x = x0; x <= x1; x++) {
            // The picture pixel under the centre, how far inside it the
            // centre lies (in screen pixels), and the neighbour towards the
            // nearer seam.
            const double u = (x - x0 + 0.5) / sx, v = (y - y0 + 0.5) / sy;
            const int i = std::min(639, int(u)), j = std::min(479, int(v));
            const int ni = std::clamp(u - i < 0.5 ? i - 1 : i + 1, 0, 639);
            const int nj = std::clamp(v - j < 0.5 ? j - 1 : j + 1, 0, 479);
            const bool inside = (ni == i || std::min(u - i, i + 1 - u) * sx >= 0.5 - 1e-9) &&
                                (nj == j || std::min(v - j, j + 1 - v) * sy >= 0.5 - 1e-9);
            const Rgb p = at(x, y);
            bool bad = false, pure = false;
            for (const int* q : {picture[size_t(j * 640 + i)].c, picture[size_t(j * 640 + ni)].c,
                                 picture[size_t(nj * 640 + i)].c, picture[size_t(nj * 640 + ni)].c}) {
                bool same = true;
                for (int c = 0; c < 3; c++) same = same && std::abs(p.c[c] - q[c]) <= 3;
                pure = pure || same;
                if (inside) break;
            }
            for (int c = 0; c < 3 && !inside; c++) {
                const int a = picture[size_t(j * 640 + i)].c[c], b = picture[size_t(j * 640 + ni)].c[c];
                const int d = picture[size_t(nj * 640 + i)].c[c], e = picture[size_t(nj * 640 + ni)].c[c];
                bad = bad || p.c[c] < std::min({a, b, d, e}) - 3 || p.c[c] > std::max({a, b, d, e}) + 3;
            }
            if ((inside && !pure) || bad) {
                if (wrong++ == 0)
                    std::printf("screen (%d, %d) is %02x%02x%02x, picture (%d, %d)%s\n", x, y, p.c[0], p.c[1], p.c[2],
                                i, j, inside ? " inside" : " on a seam");
            }
            mixed += !pure;
        }
    }
    std::printf("box %dx%d+%d+%d scale %.3f height %.1f%% mixed %ld wrong %ld\n", bw, bh, x0, y0, sy, 100.0 * bh / ah,
                mixed, wrong);
    return wrong != 0 || (std::fabs(sx - std::round(sx)) > 0.01 && mixed == 0);
}
