// The platform on a real X server (Xvfb) larger than the picture: the frame
// fills the screen scaled crisply between black bars, focus goes away and
// comes back, and SIGTERM ends the game with status 0. Skipped where the X
// tools are not installed; leaves the captured screen in
// platform_letterbox.png.
#include <poll.h>
#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform_support.h"
#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

namespace {

constexpr int kScreenW = 1280;
constexpr int kScreenH = 1024;

bool HaveTools()
{
    return std::system("for t in Xvfb xwd convert-im6.q16 xdotool xlogo; do command -v $t || exit 1; done "
                       ">/dev/null") == 0;
}

std::string RunCommand(const std::string& command)
{
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    char buffer[65536];
    size_t n;
    while (p != nullptr && (n = fread(buffer, 1, sizeof buffer, p)) > 0)
        out.append(buffer, n);
    if (p != nullptr)
        pclose(p);
    return out;
}

// Ends a child process however the test ends: asked first, so that an X
// server can remove its socket and lock, then forced.
struct Child {
    pid_t pid = -1;
    ~Child()
    {
        if (pid <= 0)
            return;
        kill(pid, SIGTERM);
        for (int i = 0; i < 200 && waitpid(pid, nullptr, WNOHANG) == 0; i++)
            usleep(10000);
        if (waitpid(pid, nullptr, WNOHANG) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

// A line from fd; empty if none comes in the time a slow machine could need.
std::string ReadLine(int fd)
{
    std::string line;
    char c;
    pollfd ready{fd, POLLIN, 0};
    while (poll(&ready, 1, 20000) == 1 && read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

void Report(int fd, const std::string& text)
{
    (void)!write(fd, (text + "\n").data(), text.size() + 1);
}

// The picture: one-pixel stripes and checks that any smoothing would blur,
// a white border, a ramp.
uint32_t PicturePixel(int x, int y)
{
    if (x == 0 || y == 0 || x == 639 || y == 479)
        return 0xFFFFFF;
    if (y < 240)
        return x < 320 ? ((x & 1) ? 0xFF0000 : 0x0000FF) : (((x ^ y) & 1) ? 0x00FF00 : 0xFFFF00);
    return x < 320 ? ((y & 1) ? 0x00FFFF : 0x800080) : 0x204060 + static_cast<uint32_t>(x - 320) / 2;
}

// The game side: show the picture every frame and report AppActive as it
// changes, until SIGTERM arrives in the poll as a quit request.
[[noreturn]] void RunGameSide(const std::string& display, int fd)
{
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("DISPLAY", display.c_str(), 1);
#ifdef __SANITIZE_ADDRESS__
    // SDL on X11 opens the desktop bus, whose library keeps buffers until the
    // process ends. They are not ours; the dummy-driver tests check our memory.
    __lsan_disable();
#endif
    PlatformStart(640, 480);
    int w = 0, h = 0;
    SDL_GetWindowSize(MainWindow, &w, &h);
    Report(fd, "window " + std::to_string(w) + "x" + std::to_string(h));
    for (int frame = 0, active = -1;; frame++) {
        PollOnce();
        if (AppActive != active)
            Report(fd, "active " + std::to_string(active = AppActive));
        if (!AppActive)
            continue;
        uint32_t* pixels;
        int32_t pitch;
        ImageLock(&ScreenImage, &ScreenImage, &pixels, &pixels, &pitch, &pitch);
        for (int y = 0; y < 480; y++)
            for (int x = 0; x < 640; x++)
                pixels[y * pitch + x] = PicturePixel(x, y);
        ImageUnlock(&ScreenImage, &ScreenImage);
        Present(&ScreenImage);
        if (frame == 10)
            Report(fd, "shown");
    }
}

TEST(PlatformOnX, FillsALargerScreenCrisplyAndTracksFocus)
{
    if (!HaveTools())
        GTEST_SKIP() << "needs Xvfb, xwd, convert-im6.q16, xdotool and xlogo";
    int serverFds[2];
    ASSERT_EQ(pipe(serverFds), 0);
    Child server;
    if ((server.pid = fork()) == 0) {
        std::string fd = std::to_string(serverFds[1]);
        std::string size = std::to_string(kScreenW) + "x" + std::to_string(kScreenH) + "x24";
        freopen("/dev/null", "w", stderr);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", size.c_str(), "-nolisten", "tcp", nullptr);
        _exit(127);
    }
    close(serverFds[1]);
    std::string display = ":" + ReadLine(serverFds[0]);
    ASSERT_NE(display, ":");

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    Child game;
    if ((game.pid = fork()) == 0)
        RunGameSide(display, fds[1]);
    close(fds[1]);
    EXPECT_EQ(ReadLine(fds[0]), "window 1280x1024");
    EXPECT_EQ(ReadLine(fds[0]), "active 1");
    ASSERT_EQ(ReadLine(fds[0]), "shown");

    std::string rgb = RunCommand("xwd -root -display " + display +
                                 " | convert-im6.q16 xwd:- -write platform_letterbox.png -depth 8 rgb:-");
    ASSERT_EQ(rgb.size(), static_cast<size_t>(kScreenW) * kScreenH * 3);
    auto at = [&rgb](int x, int y) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(rgb.data()) + 3 * (y * kScreenW + x);
        return static_cast<uint32_t>(p[0] << 16 | p[1] << 8 | p[2]);
    };
    // Scale 2, set by the width: 1280x960 between 32-pixel black bars, each
    // picture pixel a 2x2 block of exactly its colour.
    size_t wrong = 0, lit = 0;
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++)
            for (int k = 0; k < 4; k++)
                wrong += at(2 * x + (k & 1), 32 + 2 * y + (k >> 1)) != PicturePixel(x, y);
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < kScreenW; x++)
            lit += (at(x, y) != 0) + (at(x, kScreenH - 1 - y) != 0);
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(lit, 0u);

    // Another program takes the focus, then the game gets it back.
    Child logo;
    if ((logo.pid = fork()) == 0) {
        setenv("DISPLAY", display.c_str(), 1);
        execlp("xlogo", "xlogo", nullptr);
        _exit(127);
    }
    std::string xdotool = "DISPLAY=" + display + " xdotool ";
    RunCommand(xdotool + "search --sync --class xlogo windowfocus --sync");
    EXPECT_EQ(ReadLine(fds[0]), "active 0");
    RunCommand(xdotool + "search --sync --name Kelvane windowfocus --sync");
    EXPECT_EQ(ReadLine(fds[0]), "active 1");

    kill(game.pid, SIGTERM);
    int status = 0;
    waitpid(game.pid, &status, 0);
    game.pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
