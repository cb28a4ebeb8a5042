// Scene.h -- draws each whole frame into the ScreenImage from the game state,
// the board, the score table and the game images; nothing survives a frame.
#pragma once

#include <cstdint>

// The navy of the boxes drawn over the scene: the name entry's, the pause's
// and the volume's.
inline constexpr uint32_t kBoxColour = 0x000080;

// Background, walls, status texts, the board (with the pop, slide and lose
// effects), death line, next ball, cannon; then the flying ball in a game, or
// the score table, the start prompt and the title on the attract screen.
// Called once per frame by the frame loop and by the name entry. A frame
// drawn from the same state, pictures and settings as the last one, onto a
// screen nothing else has drawn on since, is already there and is left as
// it is.
void DrawScene();

// Starts the title's font work (finding the face, opening it, rendering the
// title) on a thread of its own, to run while the window and the display
// are made; the first frame then finds it done. Called once, at start-up.
void ScenePrepare();

// The header and the ten score lines, the last entered one in white.
void DrawScoreTable();
