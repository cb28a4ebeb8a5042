// Controls.cpp -- pause, volume, and the aim and buttons of the mouse and
// the pads.
#include "flow/Controls.h"

#include <cstdio>
#include <cstring>

#include "flow/Game.h"
#include "flow/Scene.h"
#include "gfx/Image.h"
#include "gfx/Text.h"
#include "platform/Display.h"
#include "platform/Events.h"
#include "platform/Gamepad.h"
#include "platform/Timing.h"
#include "player/Settings.h"
#include "rules/Board.h"
#include "rules/GameState.h"
#include "rules/Shot.h"
#include "sound/Sound.h"

int32_t GamePaused;

static constexpr int32_t kVolumeShowTime = 1000;  // milliseconds
static constexpr uint32_t kTextColour = 0xFFFFFF;
static constexpr int32_t kBoxMargin = 4;
static constexpr int32_t kVolumeLineGap = 20;  // the volume shows this far below "Paused", boxes apart
// The mute mark sits in the picture's bottom right corner, clear of the
// field and of every text.
static constexpr int32_t kMuteMarkX = 622;
static constexpr int32_t kMuteMarkY = 464;

// The letters the pad offers in the name entry, in the order up goes.
static constexpr char kNameLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 .-";
static constexpr int32_t kNameLetterCount = sizeof kNameLetters - 1;

static int32_t volumeShowing;
static int64_t volumeShownAt;
static int64_t stickRemainder;  // the stick's turn not yet a whole quarter-degree

static void applyVolume()
{
    SoundSetVolume(GameSettings.muted ? 0 : GameSettings.volume, kVolumeSteps);
}

void ControlsStart()
{
    applyVolume();
    GamepadStart();
}

// M mutes and unmutes; + (or =, the same key unshifted) and - step the
// volume, + also bringing the sound back.
static void changeVolume(int32_t character)
{
    if (character == 'm' || character == 'M') {
        GameSettings.muted = !GameSettings.muted;
    } else if (character == '+' || character == '=' || character == '-') {
        const int32_t volume = GameSettings.volume + (character == '-' ? -1 : 1);
        GameSettings.volume = volume < 0 ? 0 : volume > kVolumeSteps ? kVolumeSteps : volume;
        // Quieter is no reason to be heard again: - sets the level the sound
        // comes back at and leaves it muted; + brings it back.
        if (character != '-')
            GameSettings.muted = 0;
    } else {
        return;
    }
    applyVolume();
    SettingsSave();
    volumeShowing = 1;
    Stopwatch(&volumeShownAt, 0);
}

// C puts the colour marks on the balls and takes them off again; the scene
// sees the setting change and draws the next frame anew.
static void switchMarks(int32_t character)
{
    if (character != 'c' && character != 'C')
        return;
    GameSettings.marks = !GameSettings.marks;
    SettingsSave();
}

static int pauseAsked(const FrameInput& input)
{
    return input.keyCode == KeyPause || input.character == 'p' || input.character == 'P' || (input.pad & PadStart) != 0;
}

// The stick turns the cannon in proportion to how far it is pushed: at full
// tilt as fast as an arrow key held long; the fractions add up across frames.
static void turnByStick(int32_t stick)
{
    if (stick == 0) {
        stickRemainder = 0;
        return;
    }
    const int64_t unit = int64_t{kAimDivisor} * kStickRange;
    const int64_t amount = int64_t{elapsed} * kAimRepeatMax * stick + stickRemainder;
    stickRemainder = amount % unit;
    AimTurn(static_cast<int32_t>(amount / unit));
}

int32_t ControlsMachine(const FrameInput& input)
{
    changeVolume(input.character);
    switchMarks(input.character);
    if (game.playing != 0 && pauseAsked(input)) {
        GamePaused = !GamePaused;
        SoundPause(GamePaused);
    }
    return GamePaused;
}

int32_t ControlsGame(const FrameInput& input)
{
    int32_t character = input.character;
    if (character == 0 && game.playing == 0 && (input.pad & PadStart) != 0)
        character = CharEnter;
    if (character == 0 && (input.click != 0 || (input.pad & PadSouth) != 0))
        character = CharSpace;
    if (input.aim != kNoAim)
        game.aimAngle = input.aim;
    AimTurn(input.wheel);
    turnByStick(input.stick);
    return character;
}

int64_t ControlsStickRemainder()
{
    return stickRemainder;
}

void ControlsSetStickRemainder(int64_t remainder)
{
    stickRemainder = remainder;
}

// One line of text centred across the field on a box of its own.
static void drawNotice(const char* text, int32_t y)
{
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    GetFieldRect(&left, &top, &width, &height);
    const int32_t textWidth = kGlyphSize * static_cast<int32_t>(std::strlen(text));
    const int32_t x = left + (width - textWidth) / 2;
    ImageFillRect(&ScreenImage, x - kBoxMargin, y - kBoxMargin, x + textWidth + kBoxMargin - 1,
                  y + kGlyphSize + kBoxMargin - 1, kBoxColour);
    DrawFontText(&ScreenImage, text, x, y, kTextColour);
}

// A small loudspeaker with a cross beside it: the sound is off.
static void drawMuteMark()
{
    const int32_t x = kMuteMarkX;
    const int32_t y = kMuteMarkY;
    ImageFillRect(&ScreenImage, x - 1, y - 1, x + 15, y + 12, kBoxColour);
    ImageFillRect(&ScreenImage, x + 1, y + 4, x + 2, y + 7, kTextColour);
    for (int32_t i = 0; i < 4; i++)
        ImageFillRect(&ScreenImage, x + 3 + i, y + 3 - i, x + 3 + i, y + 8 + i, kTextColour);
    for (int32_t i = 0; i < 5; i++) {
        ImageFillRect(&ScreenImage, x + 9 + i, y + 3 + i, x + 9 + i, y + 3 + i, kTextColour);
        ImageFillRect(&ScreenImage, x + 13 - i, y + 3 + i, x + 13 - i, y + 3 + i, kTextColour);
    }
}

void DrawControls()
{
    if (GameSettings.muted)
        drawMuteMark();
    if (volumeShowing && Stopwatch(&volumeShownAt, 1) >= kVolumeShowTime)
        volumeShowing = 0;
    if (!GamePaused && !volumeShowing)
        return;
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    GetFieldRect(&left, &top, &width, &height);
    const int32_t middle = top + height / 2 - kGlyphSize / 2;
    if (GamePaused)
        drawNotice("Paused", middle);
    if (volumeShowing) {
        char text[32];
        if (GameSettings.muted)
            std::snprintf(text, sizeof text, "Muted (volume %d)", int(GameSettings.volume));
        else
            std::snprintf(text, sizeof text, "Volume %d", int(GameSettings.volume));
        drawNotice(text, middle + kVolumeLineGap);
    }
}

int32_t ControlsEditName(int32_t pad, char* buffer, int32_t* length, int32_t maxLength)
{
    if ((pad & (PadSouth | PadStart)) != 0)
        return 1;
    char* chosen = buffer + *length;
    if ((pad & (PadUp | PadDown)) != 0 && *length < maxLength) {
        const char* at = *chosen != '\0' ? std::strchr(kNameLetters, *chosen) : nullptr;
        int32_t i = 0;
        if (at != nullptr)
            i = (int32_t(at - kNameLetters) + ((pad & PadUp) != 0 ? 1 : kNameLetterCount - 1)) % kNameLetterCount;
        chosen[0] = kNameLetters[i];
        chosen[1] = '\0';
    }
    if ((pad & PadRight) != 0 && *length < maxLength) {
        if (*chosen == '\0')
            chosen[0] = ' ';
        *length += 1;
        buffer[*length] = '\0';
    }
    if ((pad & PadLeft) != 0 && *length > 0) {
        *chosen = '\0';
        *length -= 1;
    }
    return 0;
}
