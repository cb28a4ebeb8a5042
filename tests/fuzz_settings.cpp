// Arbitrary bytes as the settings file: whatever they hold, every setting
// read is one the game can use, and the file the game would write from it
// reads back exactly, without a line out of place.
#include <cstdlib>
#include <string>

#include "platform/Settings.h"

static void check(bool ok)
{
    if (!ok)
        std::abort();
}

static bool inRange(int32_t size)
{
    return size == 0 || (size >= kSettingsMinWindow && size <= kSettingsMaxWindow);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Settings read;
    std::string kept;
    SettingsParse(reinterpret_cast<const char*>(data), size, &read, &kept);
    check(read.fullscreen == 0 || read.fullscreen == 1);
    check(read.muted == 0 || read.muted == 1);
    check(read.volume >= 0 && read.volume <= kVolumeSteps);
    check(inRange(read.windowWidth) && inRange(read.windowHeight));
    check(kept.size() <= 4096 && (kept.empty() || kept.back() == '\n'));

    const std::string written = SettingsFormat(read, kept);
    Settings again;
    again.volume = -1;  // every field must come from the text
    again.fullscreen = again.muted = again.windowWidth = again.windowHeight = -1;
    std::string keptAgain;
    check(SettingsParse(written.data(), written.size(), &again, &keptAgain) == 0);
    check(again.fullscreen == read.fullscreen && again.muted == read.muted && again.volume == read.volume);
    check(again.windowWidth == read.windowWidth && again.windowHeight == read.windowHeight);
    check(keptAgain == kept);
    return 0;
}
