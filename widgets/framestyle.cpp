#include "widgets/framestyle.h"

#include <QApplication>
#include <QPainter>

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
    // Qt's Fusion and Windows styles draw frames with aliased lines; a style of a desktop theme may
    // draw them another way and is left as it draws.
    const QString name = QProxyStyle::baseStyle()->name().toLower();
    m_aliasedFrames = name == QLatin1String("fusion") || name == QLatin1String("windows");
}

bool FrameStyle::shiftsFramesOn(const QPainter *painter) const
{
    if (!m_aliasedFrames || !painter || !painter->device())
        return false;
    const qreal ratio = painter->device()->devicePixelRatio();
    return ratio != std::floor(ratio);
}

void FrameStyle::drawFrame(QPainter *painter, const std::function<void()> &draw) const
{
    if (m_shifted || !shiftsFramesOn(painter)) {
        draw();
        return;
    }
    m_shifted = true;
    painter->save();
    painter->translate(0.5, 0.5);
    draw();
    painter->restore();
    m_shifted = false;
}

void FrameStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                             const QWidget *widget) const
{
    const auto draw = [&] { QProxyStyle::drawControl(element, option, painter, widget); };
    if (element == CE_ShapedFrame)
        drawFrame(painter, draw);
    else
        draw();
}

void FrameStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                               const QWidget *widget) const
{
    const auto draw = [&] { QProxyStyle::drawPrimitive(element, option, painter, widget); };
    if (element == PE_Frame)
        drawFrame(painter, draw);
    else
        draw();
}

void installFrameStyle()
{
    if (!qobject_cast<FrameStyle *>(QApplication::style()))
        QApplication::setStyle(new FrameStyle);
}
