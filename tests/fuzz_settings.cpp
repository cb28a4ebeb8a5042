// Arbitrary bytes as the settings file: the file the game would write from
// what it read reads back exactly, every line understood. As the reader
// takes only values the game can use, that also bounds every setting.
#include <cstdlib>
#include <string>

#include "player/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Settings read;
    std::string kept;
    SettingsParse(reinterpret_cast<const char*>(data), size, &read, &kept);
    const std::string written = SettingsFormat(read, kept);
    Settings again{-1, -1, -1, -1, -1, -1};  // every field must come from the text
    std::string keptAgain;
    if (SettingsParse(written.data(), written.size(), &again, &keptAgain) != 0 || keptAgain != kept ||
        SettingsFormat(again, keptAgain) != written || kept.size() > 4096)
        std::abort();
    return 0;
}
