#include "widgets/progressbox.h"
#include "widgets/waitcursor.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <stdexcept>

TEST(ProgressBox, PercentageRoundsHalfUpAndKeepsAnInexactRunOffTheEnds)
{
    EXPECT_EQ(ProgressBox::percent(0, true), 0);
    EXPECT_EQ(ProgressBox::percent(0, false), 1);
    EXPECT_EQ(ProgressBox::percent(1, true), 100);
    EXPECT_EQ(ProgressBox::percent(1, false), 99);
    EXPECT_EQ(ProgressBox::percent(0.005, true), 1);      // 0.5 rounds up
    EXPECT_EQ(ProgressBox::percent(0.004, false), 1);     // rounds to 0, shown as 1 when not exact
    EXPECT_EQ(ProgressBox::percent(0.994, false), 99);
    EXPECT_EQ(ProgressBox::percent(0.995, false), 99);    // rounds to 100, shown as 99 when not exact
    EXPECT_EQ(ProgressBox::percent(2.0 / 3, false), 67);
    EXPECT_EQ(ProgressBox::percent(0.5, false), 50);
}

namespace {

QImage drawn(double fraction, bool exact)
{
    QImage image(200, 24, QImage::Format_RGB32);
    image.fill(Qt::red);   // whatever was there before is cleared
    QPainter painter(&image);
    QFont font = painter.font();
    font.setPixelSize(16);
    painter.setFont(font);
    ProgressBox::render(painter, image.rect(), fraction, exact);
    return image;
}

int count(const QImage &image, const QRect &area, QRgb colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += (image.pixel(x, y) & 0xffffff) == (colour & 0xffffff);
    return n;
}

// Text is drawn smoothed: count pixels nearer to blue, or to white, than to anything else.
int countLike(const QImage &image, const QRect &area, QRgb colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            n += std::abs(qRed(p) - qRed(colour)) < 100 && std::abs(qGreen(p) - qGreen(colour)) < 100
                 && std::abs(qBlue(p) - qBlue(colour)) < 100;
        }
    return n;
}

const QRgb White = qRgb(255, 255, 255);
const QRgb Blue = qRgb(0, 0, 255);

}

TEST(ProgressBox, BarInvertsTheTextWhereTheyOverlap)
{
    // At 0 the box is white with blue text in the middle and no bar.
    const QImage empty = drawn(0, true);
    EXPECT_EQ(count(empty, QRect(0, 0, 40, 24), White), 40 * 24);
    const QRect middle(70, 0, 60, 24);
    const int textPixels = countLike(empty, middle, Blue);
    EXPECT_GT(textPixels, 10);
    EXPECT_EQ(count(empty, QRect(0, 0, 200, 24), qRgb(255, 0, 0)), 0);

    // Full: the bar covers the box; the text's pixels turn white inside it.
    const QImage full = drawn(1, true);
    EXPECT_EQ(count(full, QRect(0, 0, 40, 24), Blue), 40 * 24);
    EXPECT_GT(countLike(full, middle, White), 10);

    // A quarter: blue on the left quarter only, white to the right of the text.
    const QImage quarter = drawn(0.25, true);
    if (qEnvironmentVariableIsSet("TABLORA_PROGRESS_PNG")) {
        drawn(0.5, false).save(qEnvironmentVariable("TABLORA_PROGRESS_PNG"));
    }
    EXPECT_EQ(count(quarter, QRect(0, 0, 50, 24), Blue), 50 * 24);
    EXPECT_EQ(count(quarter, QRect(150, 0, 50, 24), White), 50 * 24);
}

TEST(ProgressBox, WidgetShowsItsText)
{
    ProgressBox box;
    box.draw(0, false);
    EXPECT_EQ(box.text(), QStringLiteral("1%"));
    box.draw(1, false);
    EXPECT_EQ(box.text(), QStringLiteral("99%"));
    box.draw(1, true);
    EXPECT_EQ(box.text(), QStringLiteral("100%"));
    box.resize(120, 20);
    // The widget paints what it says: at 100% the bar fills the box and the text is white on it.
    const QImage image = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(image.size(), QSize(120, 20));
    EXPECT_EQ(count(image, QRect(4, 4, 16, 12), Blue), 16 * 12);
    EXPECT_GT(countLike(image, QRect(30, 0, 60, 20), White), 10);
}

// A long operation does not return to the event loop between its steps: a box on screen is painted as
// soon as it is drawn.
TEST(ProgressBox, ABoxOnScreenIsPaintedWhenDrawn)
{
    struct PaintCounter : QObject
    {
        int paints = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    ProgressBox box;
    box.resize(120, 20);
    box.show();
    QApplication::processEvents();
    box.installEventFilter(&counter);
    box.draw(0.5, false);
    EXPECT_EQ(counter.paints, 1);
    box.draw(0.75, false);
    EXPECT_EQ(counter.paints, 2);
    box.hide();
    box.draw(0.25, false);   // off screen: nothing to paint now
    EXPECT_EQ(counter.paints, 2);
}

TEST(WaitCursor, EveryWayOutRestoresThePointer)
{
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    {
        WaitCursor wait;
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    try {
        WaitCursor wait;
        throw std::runtime_error("failed");
    } catch (const std::runtime_error &) {
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    {
        WaitCursor wait;
        wait.restore();
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
