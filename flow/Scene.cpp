// Scene.cpp -- one frame, back to front: background, walls, status texts,
// board and its effects, death line, next ball, cannon, then the flying ball
// or the attract screen's table, prompt and title.
#include "flow/Scene.h"

#include <cstdio>
#include <cstring>
#include <type_traits>

#include "flow/ScoreTable.h"
#include "gfx/BallMarks.h"
#include "gfx/GameImages.h"
#include "gfx/Image.h"
#include "platform/FaceText.h"
#include "player/Settings.h"
#include "rules/Board.h"
#include "rules/GameState.h"

static constexpr uint32_t kWallColour = 0xC0C0C0;
static constexpr uint32_t kTextColour = 0xFFFFFF;
static constexpr uint32_t kDeathLineColour = 0xFF0000;
static constexpr uint32_t kHeaderColour = 0xFFFF00;
static constexpr uint32_t kScoreLineColour = 0x0000FF;
static constexpr uint32_t kTitleColour = 0xFFFF00;
static constexpr uint32_t kLoseGrey = 0x808080;

static constexpr int32_t kWallThickness = 4;
static constexpr int32_t kNextBallGap = 80;     // the next ball waits this far left of the cannon's ball
static constexpr int32_t kGreyChannel = 128;    // the lose effect fades every channel toward this
static constexpr int32_t kLoseGreyTime = 7168;  // from here down the board is wholly grey
static constexpr int32_t kSlideRowShift = 8;    // each 256 slide units reveal one more row

// Status texts down the left edge: labels and their values.
static constexpr int32_t kStatusX = 4;
static constexpr int32_t kLevelLabelY = 4;
static constexpr int32_t kLevelY = 12;
static constexpr int32_t kScoreLabelY = 28;
static constexpr int32_t kScoreY = 36;
static constexpr int32_t kCreditsLabelY = 52;
static constexpr int32_t kCreditsY = 60;

// The attract screen.
static constexpr int32_t kTableX = 204;
static constexpr int32_t kLineHeight = 8;
static constexpr int32_t kPromptX = 232;  // centres the prompt's 22 characters
static constexpr int32_t kPromptY = 464;
static constexpr int32_t kTitleY = 5;
static constexpr int32_t kTitleHeight = 40;
static constexpr const char* kTitle = "Kelvane";
static constexpr const char* kTitleFace = "Arial";
static constexpr const char* kPrompt = "Press [Enter] to Start";
static constexpr const char* kTableHeader = "Rank  Score      Name";

static void drawWalls(int32_t left, int32_t top, int32_t width, int32_t height)
{
    Image* screen = &ScreenImage;
    int32_t bottom = top + height - 1;
    ImageFillRect(screen, left - kWallThickness, top, left - 1, bottom, kWallColour);
    ImageFillRect(screen, left + width, top, left + width + kWallThickness - 1, bottom, kWallColour);
    ImageFillRect(screen, left - kWallThickness, top - kWallThickness, left + width + kWallThickness - 1, top - 1,
                  kWallColour);
}

static void drawStatus()
{
    Image* screen = &ScreenImage;
    char number[16];  // the widest value is a 32-bit integer: 11 characters
    DrawFontText(screen, "Level", kStatusX, kLevelLabelY, kTextColour);
    std::snprintf(number, sizeof number, "%-2i", game.levelIndex + 1);
    DrawFontText(screen, number, kStatusX, kLevelY, kTextColour);
    DrawFontText(screen, "Score", kStatusX, kScoreLabelY, kTextColour);
    std::snprintf(number, sizeof number, "%-9i", game.score);
    DrawFontText(screen, number, kStatusX, kScoreY, kTextColour);
    DrawFontText(screen, "Credits", kStatusX, kCreditsLabelY, kTextColour);
    std::snprintf(number, sizeof number, "%-2i", game.credits);
    DrawFontText(screen, number, kStatusX, kCreditsY, kTextColour);
}

// The strip the coloured balls come from: with the colour marks on, every
// ball of a colour (on the board, on the cannon, beside it, in flight,
// fading, dropping, sliding in) carries that colour's mark.
static Image* stripShown()
{
    return GameSettings.marks ? &markedStrip : &ballStrip;
}

// Strip cell k: the ball ready-tinted with BallPalette[k]. Cell 0 is all
// black and draws nothing; an index beyond the strip draws nothing either.
static void drawStripBall(int32_t k, int32_t x, int32_t y)
{
    if (k < 0 || k > kColorCount)
        return;
    ImageBlitKeyed(stripShown(), k * ballImage.width, 0, &ScreenImage, x, y, ballImage.width, ballImage.height);
}

static bool isBall(int32_t k)
{
    return k >= 1 && k <= kColorCount;
}

// The pop: the group fades out in place, the loose balls fade while they
// drop (by up to 127 pixels), the rest stay as they are.
static void drawBoardPopping()
{
    int32_t weight = game.popTimer >> 2;  // 256 shows a ball fully
    int32_t drop = (kPopTime - game.popTimer) >> 3;
    for (int32_t r = 0; r < kBoardRows; r++) {
        for (int32_t c = 0; c <= RowLastColumn(r); c++) {
            const BoardCell& cell = board.cells[r][c];
            if (!isBall(cell.color))
                continue;
            int32_t x, y, w, h;
            GetCellRect(c, r, &x, &y, &w, &h);
            if (cell.mark == Held) {
                drawStripBall(cell.color, x, y);
                continue;
            }
            if (cell.mark == Loose)
                y += drop;
            ImageBlendKeyed(stripShown(), cell.color * ballImage.width, 0, &ScreenImage, x, y, ballImage.width,
                            ballImage.height, weight);
        }
    }
}

// All the balls in rows 0..lastRow as they are.
static void drawBoardRows(int32_t lastRow)
{
    if (lastRow >= kBoardRows)
        lastRow = kBoardRows - 1;
    for (int32_t r = 0; r <= lastRow; r++) {
        for (int32_t c = 0; c <= RowLastColumn(r); c++) {
            int32_t k = board.cells[r][c].color;
            if (!isBall(k))
                continue;
            int32_t x, y, w, h;
            GetCellRect(c, r, &x, &y, &w, &h);
            drawStripBall(k, x, y);
        }
    }
}

// A palette colour shifted toward grey for the lose effect: over the first
// 1024 units every channel moves toward 128, then it is grey outright.
static uint32_t loseColour(uint32_t colour)
{
    if (game.loseTimer <= kLoseGreyTime)
        return kLoseGrey;
    int32_t f = (kLoseTime - game.loseTimer) >> 2;
    if (f < 0)
        f = 0;  // a timer above its start value keeps the colours
    uint32_t result = 0;
    for (int shift = 16; shift >= 0; shift -= 8) {
        int32_t ch = static_cast<int32_t>((colour >> shift) & 0xFF);
        ch += ((kGreyChannel - ch) * f) >> 8;  // arithmetic: rounds down above 128
        result |= static_cast<uint32_t>(ch) << shift;
    }
    return result;
}

// The lose effect tints the plain ball for each colour. Balls never overlap,
// so the board is drawn colour by colour and each tint is made once a frame
// rather than once a ball. The colour marks stay on the greyed balls: they
// still tell which balls were which, so with them on every colour's ball is
// made anew.
static void drawBoardGreying()
{
    uint32_t tinted = 0;
    bool haveTint = false;
    const bool marks = GameSettings.marks != 0;
    for (int32_t k = 1; k <= kColorCount; k++) {
        uint32_t colour = loseColour(BallPalette[k]);
        bool madeForK = false;
        for (int32_t r = 0; r < kBoardRows; r++) {
            for (int32_t c = 0; c <= RowLastColumn(r); c++) {
                if (board.cells[r][c].color != k)
                    continue;
                if (!haveTint || tinted != colour || (marks && !madeForK)) {
                    ImageTint(&ballImage, &tintImage, colour);
                    if (marks)
                        MarkBall(&tintImage, 0, k);
                    tinted = colour;
                    haveTint = true;
                    madeForK = true;
                }
                int32_t x, y, w, h;
                GetCellRect(c, r, &x, &y, &w, &h);
                ImageBlitKeyed(&tintImage, 0, 0, &ScreenImage, x, y, tintImage.width, tintImage.height);
            }
        }
    }
}

// The effects take the same priority as the game flow: pop, slide, lose.
static void drawBoard()
{
    if (game.popTimer > 0)
        drawBoardPopping();
    else if (game.slideTimer > 0)
        drawBoardRows(kBoardRows - (game.slideTimer >> kSlideRowShift));
    else if (game.loseTimer > 0)
        drawBoardGreying();
    else
        drawBoardRows(kBoardRows - 1);
}

static void drawCannonAndNextBall()
{
    int32_t cannonX, cannonY;
    GetCannonPos(&cannonX, &cannonY);
    if (game.slideTimer == 0) {
        int32_t x = cannonX + cannonImage.width / 2 - ballImage.width / 2 - kNextBallGap;
        int32_t y = cannonY + cannonImage.height / 2 - ballImage.height / 2;
        drawStripBall(game.nextColor, x, y);
    }
    // Turning the sight is the costliest step of a frame. While the aim
    // moves (an arrow held) it is turned straight onto the screen, in one
    // pass; once it rests, the turned copy is kept and copied until the aim
    // or the pictures change. Both give the same pixels.
    static int32_t turnedAngle = -1;
    static uint32_t turnedVersion = 0;
    static int32_t previousAim = -1;
    bool moving = game.aimAngle != previousAim;
    previousAim = game.aimAngle;
    if (moving) {
        ImageRotateKeyed(&cannonImage, &ScreenImage, cannonX, cannonY, static_cast<int16_t>(game.aimAngle), kScaleOne);
        return;
    }
    if (game.aimAngle != turnedAngle || gameImagesVersion != turnedVersion) {
        ImageClear(&cannonTurnImage, TransparentColor);
        ImageRotate(&cannonImage, &cannonTurnImage, static_cast<int16_t>(game.aimAngle), kScaleOne);
        turnedAngle = game.aimAngle;
        turnedVersion = gameImagesVersion;
    }
    ImageBlitKeyed(&cannonTurnImage, 0, 0, &ScreenImage, cannonX, cannonY, cannonTurnImage.width,
                   cannonTurnImage.height);
}

static void drawTitle()
{
    // Widths are never negative, so -1 tells that the measure gave nothing;
    // a title that cannot be measured cannot be centred and is left out.
    int32_t width = -1;
    int32_t height = 0;
    MeasureFaceText(&ScreenImage, kTitle, kTitleFace, 0, kTitleHeight, &width, &height);
    if (width < 0)
        return;
    DrawFaceText(&ScreenImage, kTitle, (ScreenImage.width - width) / 2, kTitleY, kTitleColour, kTitleFace, 0,
                 kTitleHeight, 0);
}

void ScenePrepare()
{
    FaceTextPrepare(kTitle, kTitleFace, 0, kTitleHeight, kTitleColour);
}

// A score line up to its last visible character: the spaces that pad it
// draw nothing, and nothing beyond the screen's right edge would show.
// Drawing from a copy also bounds a line that lacks its NUL.
static void drawScoreLine(const char* line, int32_t y, uint32_t colour)
{
    char visible[kScoreLineSize];
    int32_t room = (ScreenImage.width - kTableX) / kGlyphSize;  // whole characters that fit
    int32_t end = 0;
    for (int32_t n = 0; n < room && n < kScoreLineSize - 1 && line[n] != '\0'; n++) {
        visible[n] = line[n];
        if (line[n] != ' ')
            end = n + 1;
    }
    visible[end] = '\0';
    DrawFontText(&ScreenImage, visible, kTableX, y, colour);
}

void DrawScoreTable()
{
    DrawFontText(&ScreenImage, kTableHeader, kTableX, kScoreTableY, kHeaderColour);
    for (int32_t i = 0; i < kScoreLines; i++) {
        uint32_t colour = i == highlightRank ? kTextColour : kScoreLineColour;
        drawScoreLine(ScoreTable[i], kScoreTableY + kLineHeight * (i + 1), colour);
    }
}

// Everything a frame is drawn from. The same inputs give the same pixels,
// so a frame whose inputs equal those of the last one drawn, over a screen
// that nothing has drawn on since, is already on the screen: it is not
// drawn again, and Present, seeing the screen unchanged, does not show it
// again either. That makes a still title screen, or aiming without a ball
// in flight, cost next to nothing. Whatever the scene comes to draw from
// must be part of this record.
struct SceneInputs {
    GameState game;
    Board board;
    char scores[kScoreLines][kScoreLineSize];
    int32_t highlightRank;
    uint32_t imagesVersion;
    Settings settings;
    uint64_t screenStamp;  // ImageChangeStamp of the screen when the frame was done
};

static SceneInputs drawnFrom;
static bool drawnOnce;

static void takeInputs(SceneInputs* in)
{
    in->game = game;
    in->board = board;
    std::memcpy(in->scores, ScoreTable, sizeof in->scores);
    in->highlightRank = highlightRank;
    in->imagesVersion = gameImagesVersion;
    in->settings = GameSettings;
}

// Field by field: the records' padding never decides anything. The records
// memcmp compares have none, so equal values are equal bytes.
static_assert(std::has_unique_object_representations_v<GameState>);
static_assert(std::has_unique_object_representations_v<Board>);
static_assert(std::has_unique_object_representations_v<Settings>);

static bool sameInputs(const SceneInputs& a, const SceneInputs& b)
{
    return std::memcmp(&a.game, &b.game, sizeof a.game) == 0 && std::memcmp(&a.board, &b.board, sizeof a.board) == 0 &&
           std::memcmp(a.scores, b.scores, sizeof a.scores) == 0 && a.highlightRank == b.highlightRank &&
           a.imagesVersion == b.imagesVersion && std::memcmp(&a.settings, &b.settings, sizeof a.settings) == 0 &&
           a.screenStamp == b.screenStamp;
}

static void drawFrame()
{
    int32_t left, top, width, height;
    GetFieldRect(&left, &top, &width, &height);
    ImageBlit(&backImage, 0, 0, &ScreenImage, 0, 0, backImage.width, backImage.height);
    drawWalls(left, top, width, height);
    drawStatus();
    drawBoard();
    int32_t deathLine = GetDeathLine();
    ImageFillRect(&ScreenImage, left, deathLine, left + width - 1, deathLine, kDeathLineColour);
    drawCannonAndNextBall();
    if (game.playing == 1) {
        if (game.popTimer == 0 && game.slideTimer == 0 && game.loseTimer == 0)
            drawStripBall(game.currentColor, game.ballX >> 8, game.ballY >> 8);
    } else if (game.playing == 0) {
        DrawScoreTable();
        DrawFontText(&ScreenImage, kPrompt, kPromptX, kPromptY, kTextColour);
        drawTitle();
    }
}

void DrawScene()
{
    SceneInputs now;
    takeInputs(&now);
    now.screenStamp = ImageChangeStamp(&ScreenImage);
    if (drawnOnce && sameInputs(now, drawnFrom))
        return;
    drawFrame();
    now.screenStamp = ImageChangeStamp(&ScreenImage);
    drawnFrom = now;
    drawnOnce = true;
}
