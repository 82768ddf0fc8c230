#include "widgets/screenfit.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>

#include <algorithm>

void ScreenFit::fit(QWidget *window)
{
    const QScreen *screen = window->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    if (area.isEmpty())
        return;
    // The window manager's frame around the window (none until the window exists on screen).
    const QRect outer = window->frameGeometry();
    const QSize frame = outer.size() - window->size();
    const QSize fitted = window->size().boundedTo(area.size() - frame).expandedTo(window->minimumSize());
    if (fitted != window->size())
        window->resize(fitted);
    const QRect placed(outer.topLeft(), fitted + frame);
    if (!area.contains(placed)) {
        const int x = std::clamp(placed.left(), area.left(), std::max(area.left(), area.right() - placed.width() + 1));
        const int y = std::clamp(placed.top(), area.top(), std::max(area.top(), area.bottom() - placed.height() + 1));
        window->move(x, y);
    }
}

bool ScreenFit::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        const Qt::WindowType type = widget->windowType();
        if (widget->isWindow() && (type == Qt::Window || type == Qt::Dialog))
            fit(widget);
    }
    return QObject::eventFilter(watched, event);
}

void installScreenFit()
{
    static ScreenFit *filter = nullptr;
    if (!filter) {
        filter = new ScreenFit(qApp);
        qApp->installEventFilter(filter);
    }
}
