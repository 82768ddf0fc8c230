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
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}
