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
// Scopes nest; the outermost one restores everything.
class BusyScope
{
public:
    // beforePaint: brings the operation's progress display up to date before the windows paint while
    // one of its statements waits.
    explicit BusyScope(Session &session, std::function<void()> beforePaint = {});
    ~BusyScope();
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_modalAtStart;
    std::vector<QPointer<QWidget>> m_heldCloses;
};
