#pragma once

// The program's style: the platform's style, with the frames of lists, text boxes, grids and framed
// labels drawn whole at fractional scale factors (1.25, 1.5, 1.75: QT_SCALE_FACTOR, QT_FONT_DPI, Xft.dpi).
//
// Qt's own styles stroke a frame as 1-pixel lines centred on the frame's outer pixel boundary. At a
// fractional device pixel ratio such a line lands on device pixels the control does not own: its left and
// top lines fall outside the control's clip, its right and bottom lines under the viewport that fills its
// inside. Shifted by half a pixel, the same line covers exactly the frame's own pixel row, which the
// control owns at any scale.

#include <QProxyStyle>

#include <functional>

class FrameStyle : public QProxyStyle
{
    Q_OBJECT

public:
    // Wraps a fresh instance of the style named (the application's style by default).
    explicit FrameStyle(const QString &base = QString());

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override;

    // True when frames are drawn shifted on this painter: a fractional device pixel ratio under a style
    // that strokes its frames with aliased lines.
    bool shiftsFramesOn(const QPainter *painter) const;

private:
    // Runs draw with the painter shifted by half a pixel where frames need it.
    void drawFrame(QPainter *painter, const std::function<void()> &draw) const;

    bool m_aliasedFrames;
    mutable bool m_shifted = false;   // inside a shifted frame: a nested frame primitive is not shifted again
};

// Makes FrameStyle the application's style, around the style it has. Call once QApplication exists.
void installFrameStyle();
