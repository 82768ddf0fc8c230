#include "events.h"

#include <QCoreApplication>
#include <QElapsedTimer>

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

}
