// Quit.h -- the one way the game ends when asked to from outside: the window
// closed, SIGTERM or SIGINT, or the display gone.
//
// Whatever a quit keeps (the score table with a name being entered, say) is
// kept by savers registered here; every ending runs them once, first. A
// closed window or a signal then ends the process with status 0 through the
// exit hooks, as the frame loop's Esc does. A display that went away ends it
// with status 1 and one line on standard error, without the exit hooks:
// they would wait on the dead connection for ever.
#pragma once

// Installs the SIGTERM and SIGINT handlers (they only raise a flag that the
// event poll reads) and tells SDL to leave those signals to us. Call before
// SDL is started.
void QuitStart();

// Once the window is open: a lost X connection ends the game through
// QuitLostDisplay instead of Xlib's exit().
void QuitWatchDisplay();

// Adds a function that keeps what a quit must not lose. Savers run the
// latest added first, as exit hooks do (the name entry's table before the
// game's recording, which names the entry's line), each at most once per
// process.
void QuitAddSaver(void (*saver)());

// 1 once SIGTERM or SIGINT arrived.
int QuitRequested();

// Runs the savers and ends the process with this status through the exit
// hooks.
[[noreturn]] void QuitGame(int status);

// Runs the savers, says so on standard error and ends the process at once
// with status 1 (or the status of a quit already under way).
[[noreturn]] void QuitLostDisplay();
