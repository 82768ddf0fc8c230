#include "widgets/progressbox.h"

#include <QPainter>
#include <cmath>

namespace {
const QColor ForeColor(0, 0, 255);
const QColor BackColor(255, 255, 255);
}

ProgressBox::ProgressBox(QWidget *parent)
    : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
}

int ProgressBox::percent(double fraction, bool exact)
{
    int p = int(std::floor(fraction * 100 + 0.5));
    if (!exact) {
        if (p == 0)
            p = 1;
        else if (p == 100)
            p = 99;
    }
    return p;
}

void ProgressBox::render(QPainter &painter, const QRect &rect, double fraction, bool exact)
{
    painter.save();
    painter.setClipRect(rect);
    // Setting the colours clears the box to the back colour.
    painter.fillRect(rect, BackColor);

    const QString text = QString::number(percent(fraction, exact)) + QLatin1Char('%');
    const QFontMetrics metrics(painter.font());
    const int textWidth = metrics.horizontalAdvance(text);
    const int textHeight = metrics.height();
    const QRect textRect(rect.x() + (rect.width() - textWidth) / 2,
                         rect.y() + (rect.height() - textHeight) / 2, textWidth, textHeight);
    painter.fillRect(textRect, BackColor);
    painter.setPen(ForeColor);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);

    // The bar combines with what is there by inverted exclusive-or: white turns blue, blue text turns white.
    painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    if (fraction > 0) {
        const int barWidth = int(std::lround(std::min(fraction, 1.0) * rect.width()));
        painter.fillRect(QRect(rect.x(), rect.y(), barWidth, rect.height()), ForeColor);
    } else {
        painter.fillRect(rect, BackColor);
    }
    painter.restore();
}

void ProgressBox::draw(double fraction, bool exact)
{
    m_fraction = fraction;
    m_exact = exact;
    // Assistive technology reads the box with the percentage it shows.
    if (const QString shown = text(); accessibleName() != shown)
        setAccessibleName(shown);
    // Drawn on the spot, as a long operation goes on without returning to the event loop: the box shows
    // the step that is running, not the one before it.
    if (isVisible() && updatesEnabled())
        repaint();
    else
        update();
}

void ProgressBox::drawLater(double fraction, bool exact)
{
    m_fraction = fraction;
    m_exact = exact;
    update();
}

QString ProgressBox::text() const
{
    return QString::number(percent(m_fraction, m_exact)) + QLatin1Char('%');
}

void ProgressBox::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(this);
        render(painter, contentsRect(), m_fraction, m_exact);
    }
    QFrame::paintEvent(event);
}
