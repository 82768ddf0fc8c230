#pragma once

// The hourglass pointer for as long as the guard lives: every way out of the scope restores the pointer.
class WaitCursor
{
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;

    // Restores the pointer now (the destructor then does nothing).
    void restore();

private:
    bool m_active = true;
};
