#include "widgets/waitcursor.h"

#include <QApplication>
#include <QCursor>

WaitCursor::WaitCursor()
{
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

WaitCursor::~WaitCursor()
{
    restore();
}

void WaitCursor::restore()
{
    if (m_active) {
        m_active = false;
        QApplication::restoreOverrideCursor();
    }
}
