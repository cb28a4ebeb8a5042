// minimal.cpp -- the yardstick for showing a frame: the least an SDL program
// does to show a 640x480 picture every refresh, the usual way. It opens the
// same window the game opens (borderless, desktop-sized), makes the same
// renderer and one streaming texture, and then every frame uploads the
// picture (SDL_UpdateTexture), copies it scaled into the window
// (SDL_RenderCopy) and presents it, pacing itself to the refresh like the
// game does where vsync does not wait. It runs until it is sent a quit.
#include <SDL.h>

#include <cstdint>
#include <vector>

static constexpr int kWidth = 640;
static constexpr int kHeight = 480;

// One refresh of the window's display in performance-counter ticks.
static Uint64 refreshTicks(SDL_Window* window)
{
    SDL_DisplayMode mode;
    int rate = 60;
    if (SDL_GetCurrentDisplayMode(SDL_GetWindowDisplayIndex(window), &mode) == 0 && mode.refresh_rate > 0)
        rate = mode.refresh_rate;
    return SDL_GetPerformanceFrequency() / static_cast<Uint64>(rate);
}

int main(int, char**)
{
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return 1;
    SDL_DisplayMode desktop;
    int w = kWidth, h = kHeight;
    if (SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0)
        w = desktop.w, h = desktop.h;
    SDL_Window* window = SDL_CreateWindow("Yardstick", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h,
                                          SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_SHOWN);
    if (window == nullptr)
        return 1;
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    if (renderer == nullptr)
        renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    if (renderer == nullptr)
        return 1;
    SDL_RenderSetLogicalSize(renderer, kWidth, kHeight);
    SDL_Texture* texture =
        SDL_CreateTexture(renderer, SDL_PIXELFORMAT_XRGB8888, SDL_TEXTUREACCESS_STREAMING, kWidth, kHeight);
    if (texture == nullptr)
        return 1;
    std::vector<uint32_t> picture(kWidth * kHeight);
    for (int y = 0; y < kHeight; y++)
        for (int x = 0; x < kWidth; x++)
            picture[y * kWidth + x] = static_cast<uint32_t>(x * 0x010203 + y * 0x030201) & 0xFFFFFF;

    const Uint64 interval = refreshTicks(window);
    const Uint64 frequency = SDL_GetPerformanceFrequency();
    Uint64 last = 0;
    for (;;) {
        SDL_Event event;
        while (SDL_PollEvent(&event))
            if (event.type == SDL_QUIT)
                return 0;
        SDL_UpdateTexture(texture, nullptr, picture.data(), kWidth * 4);
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, SDL_ALPHA_OPAQUE);
        SDL_RenderClear(renderer);
        SDL_RenderCopy(renderer, texture, nullptr, nullptr);
        SDL_RenderPresent(renderer);
        Uint64 now = SDL_GetPerformanceCounter();
        if (last != 0 && now < last + interval) {
            SDL_Delay(static_cast<Uint32>((last + interval - now) * 1000 / frequency));
            now = SDL_GetPerformanceCounter();
        }
        last = now;
    }
}
