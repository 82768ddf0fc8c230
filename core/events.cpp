#include "events.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>

namespace Events {

void pump(bool force)
{
    static QElapsedTimer since;
    if (!force && since.isValid() && since.elapsed() < 30)
        return;
    since.start();
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

namespace {
std::atomic<int> waitingScopes{0};     // changed on the main thread only, read from any
PumpWhileWaiting *innermost = nullptr; // main thread only
}

PumpWhileWaiting::PumpWhileWaiting(std::function<void()> beforePump, std::function<bool()> allInput)
    : m_beforePump(std::move(beforePump))
    , m_allInput(std::move(allInput))
    , m_outer(innermost)
{
    innermost = this;
    ++waitingScopes;
}

PumpWhileWaiting::~PumpWhileWaiting()
{
    --waitingScopes;
    innermost = m_outer;
}

bool PumpWhileWaiting::here()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread() && waitingScopes.load() > 0;
}

void PumpWhileWaiting::pumpNow()
{
    for (const PumpWhileWaiting *scope = innermost; scope; scope = scope->m_outer)
        if (scope->m_beforePump) {
            scope->m_beforePump();
            break;
        }
    bool allInput = false;
    for (const PumpWhileWaiting *scope = innermost; scope; scope = scope->m_outer)
        if (scope->m_allInput) {
            allInput = scope->m_allInput();
            break;
        }
    QCoreApplication::processEvents(allInput ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
}

}
