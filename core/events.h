#pragma once

#include <functional>

// Lets pending window events run during a long loop, at most every few tens of milliseconds, so a stop
// button or a progress display reaches the screen without a cost per row. force runs them now.
namespace Events {
void pump(bool force = false);

// While one lives, a statement of the program's main thread whose answer is slow lets window events run
// while it waits (see Connection), so a window whose operation runs a long statement keeps painting.
// Whoever holds one keeps the user's input away for as long (the busy state). Scopes nest.
class PumpWhileWaiting
{
public:
    // beforePump, when given, runs before each turn of the events (a window brings its progress display
    // up to date there); the innermost scope's counts.
    explicit PumpWhileWaiting(std::function<void()> beforePump = {});
    ~PumpWhileWaiting();
    PumpWhileWaiting(const PumpWhileWaiting &) = delete;
    PumpWhileWaiting &operator=(const PumpWhileWaiting &) = delete;

    // A scope lives and the caller is on the main thread.
    static bool here();
    // Runs the events while a statement waits: painting, timers and the window system's own events, but
    // no user input (a click on a window's close box included), which waits in the queue for the
    // statement to end, so no handler of any window runs on top of the one that sent the statement.
    static void pumpNow();

private:
    std::function<void()> m_beforePump;
    PumpWhileWaiting *m_outer;
};
}
