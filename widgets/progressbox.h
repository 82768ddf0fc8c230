#pragma once

#include <QFrame>

class QPainter;

// The progress box: a percentage centred on its own white rectangle, and a blue bar drawn over it by
// inverted exclusive-or, so that the bar inverts the text where they overlap.
class ProgressBox : public QFrame
{
    Q_OBJECT

public:
    explicit ProgressBox(QWidget *parent = nullptr);

    // The whole percentage shown for a fraction: round half up; when not exact, 0 shows as 1 and 100 as 99.
    static int percent(double fraction, bool exact);
    // Draws the box into rect: text first, then the bar (or, at 0, the back colour) by inverted XOR.
    // The painter must draw on a raster device (QImage or a widget's backing store).
    static void render(QPainter &painter, const QRect &rect, double fraction, bool exact);

    // Draws the box now when it is on screen (later otherwise).
    void draw(double fraction, bool exact);
    // Takes the fraction and draws it with the next paint of the window.
    void drawLater(double fraction, bool exact);
    double fraction() const { return m_fraction; }
    bool exact() const { return m_exact; }
    QString text() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_fraction = 0;
    bool m_exact = true;
};
