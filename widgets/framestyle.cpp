#include "widgets/framestyle.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStyleOption>

#include <cmath>

namespace {

QString baseStyleName(const QString &requested)
{
    if (!requested.isEmpty())
        return requested;
    return QApplication::style() ? QApplication::style()->name() : QString();
}

} // namespace

FrameStyle::FrameStyle(const QString &base)
    : QProxyStyle(baseStyleName(base))
{
}

bool FrameStyle::enlargesFramesOn(const QPainter *painter)
{
    if (!painter || !painter->device())
        return false;
    const qreal ratio = painter->device()->devicePixelRatio();
    return ratio != std::floor(ratio);
}

void FrameStyle::drawFrame(QPainter *painter, const QRect &rect,
                           const std::function<void(QPainter *)> &draw) const
{
    if (m_drawing || rect.isEmpty() || !enlargesFramesOn(painter)) {
        draw(painter);
        return;
    }
    // The frame at scale 1, transparent inside, so that the control's own background stays as it is.
    QImage frame(rect.size(), QImage::Format_ARGB32_Premultiplied);
    frame.fill(Qt::transparent);
    {
        QPainter unscaled(&frame);
        unscaled.translate(-rect.topLeft());
        unscaled.setFont(painter->font());
        unscaled.setLayoutDirection(painter->layoutDirection());
        m_drawing = true;
        draw(&unscaled);
        m_drawing = false;
    }
    // Enlarged without smoothing: every device pixel shows the frame pixel whose area covers its centre.
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter->drawImage(rect, frame);
    painter->restore();
}

void FrameStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                             const QWidget *widget) const
{
    const auto draw = [&](QPainter *target) { QProxyStyle::drawControl(element, option, target, widget); };
    if (element == CE_ShapedFrame && option)
        drawFrame(painter, option->rect, draw);
    else
        draw(painter);
}

void FrameStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                               const QWidget *widget) const
{
    const auto draw = [&](QPainter *target) { QProxyStyle::drawPrimitive(element, option, target, widget); };
    if (element == PE_Frame && option)
        drawFrame(painter, option->rect, draw);
    else
        draw(painter);
}

void installFrameStyle()
{
    if (!qobject_cast<FrameStyle *>(QApplication::style()))
        QApplication::setStyle(new FrameStyle);
}
