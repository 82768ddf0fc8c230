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
std::atomic<int> waitingScopes{0}; // changed on the main thread only, read from any
bool pumpingNow = false;           // main thread only
}

PumpWhileWaiting::PumpWhileWaiting()
{
    ++waitingScopes;
}

PumpWhileWaiting::~PumpWhileWaiting()
{
    --waitingScopes;
}

bool PumpWhileWaiting::here()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread() && waitingScopes.load() > 0;
}

void PumpWhileWaiting::pumpNow()
{
    const bool outer = pumpingNow;
    pumpingNow = true;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    pumpingNow = outer;
}

bool PumpWhileWaiting::pumping()
{
    return pumpingNow;
}

}
