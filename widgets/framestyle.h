#pragma once

// The program's style: the platform's style, with the frames of lists, text boxes, grids and framed
// labels drawn whole at fractional scale factors (1.25, 1.5, 1.75: QT_SCALE_FACTOR, QT_FONT_DPI, Xft.dpi).
//
// At a fractional device pixel ratio a control's edges fall between device pixels, and Qt's styles place
// a 1-pixel frame line on device pixels the control does not own: outside its clip (left and top) or
// under the viewport that fills its inside (right and bottom), so parts of the frame vanish. Here a frame
// is drawn as at scale 1 and then enlarged pixel for pixel onto the control: each pixel row of the frame
// covers exactly the device pixels of that row, which the control owns at any scale.

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

    // True when a frame painted with this painter is drawn at scale 1 and enlarged.
    static bool enlargesFramesOn(const QPainter *painter);

private:
    // Runs draw on painter, or where frames need it on an image at scale 1 that is then enlarged.
    void drawFrame(QPainter *painter, const QRect &rect, const std::function<void(QPainter *)> &draw) const;

    mutable bool m_drawing = false;   // inside a frame: a nested frame primitive is drawn as it is
};

// Makes FrameStyle the application's style, around the style it has. Call once QApplication exists.
void installFrameStyle();
