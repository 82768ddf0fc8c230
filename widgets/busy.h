#pragma once

#include "core/events.h"
#include "core/session.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <vector>


// One operation at a time. While a BusyScope lives, the program's windows keep painting (progress box,
// counter, pointer) but take no user input: clicks, keys, wheel and shortcuts meant for any window that was
// already there are dropped, not queued, so the event pump of a long operation cannot start another one,
// change what it depends on, disconnect or close. A request to close such a window is held and carried out
// when the operation has ended. Dialogs that the operation opens itself (its messages and its own modal
// windows) take input as usual between its statements; while one of them waits for a slow answer the
// windows paint, and input (a click on a close box included) waits for the statement. The session's
// connection is held for as long (Session::Hold), so nothing closes or replaces it under the operation.
// A second request to close (a window's close box, or a button that closes its window) asks whether to
// stop the operation; yes stops it as the query window's 中断 does (Session::stopOperation), and the
// windows close once it has ended and said what it did. Scopes nest; the outermost one restores everything.
class BusyScope
{
public:
    // beforePaint: brings the operation's progress display up to date before the windows paint while
    // one of its statements waits.
    explicit BusyScope(Session &session, std::function<void()> beforePaint = {});
    ~BusyScope();
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

    // A click on the button (or a press of its keys) is a request to close its window: during an operation
    // it is counted with the window's close box instead of being dropped with the rest of the input.
    static void countAsClose(QWidget *button);
    // Closes the window now, or, while an operation runs, once it has ended (without asking anything).
    static void closeWhenDone(QWidget *window);

private:
    Session::Hold m_hold;
    Events::PumpWhileWaiting m_pump; // a long statement leaves the windows painting
};

// The filter behind BusyScope, installed on the application for the outermost scope.
class BusyFilter : public QObject
{
    Q_OBJECT

public:
    BusyFilter();
    // Closes held back while the operation ran, now that it is over.
    void releaseClosesLater();
    void holdClose(QWidget *window);
    // No dialog of the operation is up: every input event meets this filter, which drops it or takes it
    // as a request to close, so a statement's wait may let the window system's input through (a click on
    // a close box reaches the filter then, instead of waiting for the statement).
    bool takesAllInput() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // A request to close the window: held, and from the second one on a question whether to stop.
    void closeRequested(QWidget *window);

    QPointer<QWidget> m_modalAtStart;
    int m_closeRequests = 0;
    bool m_asking = false;
    std::vector<QPointer<QWidget>> m_heldCloses;
};
