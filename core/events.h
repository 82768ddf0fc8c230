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
    // up to date there); the innermost scope's counts. allInput, when given and true, lets the user's input
    // (a click on a close box included) through to the windows' own filter during the wait too: true while
    // that filter takes care of every window (no dialog of the operation is up that would need it).
    explicit PumpWhileWaiting(std::function<void()> beforePump = {}, std::function<bool()> allInput = {});
    ~PumpWhileWaiting();
    PumpWhileWaiting(const PumpWhileWaiting &) = delete;
    PumpWhileWaiting &operator=(const PumpWhileWaiting &) = delete;

    // A scope lives and the caller is on the main thread.
    static bool here();
    // Runs the events while a statement waits: painting, timers and the window system's own events, but
    // no user input (a click on a window's close box included), which waits in the queue for the
    // statement to end, so no handler of any window runs on top of the one that sent the statement; the
    // user's input too while allInput says its filter drops it (a close then asks whether to stop).
    static void pumpNow();

private:
    std::function<void()> m_beforePump;
    std::function<bool()> m_allInput;
    PumpWhileWaiting *m_outer;
};
}
