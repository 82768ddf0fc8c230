#pragma once

// Lets pending window events run during a long loop, at most every few tens of milliseconds, so a stop
// button or a progress display reaches the screen without a cost per row. force runs them now.
namespace Events {
void pump(bool force = false);
}
