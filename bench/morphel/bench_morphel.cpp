// Times the layout pass over a window of 300 controls against a pass that only reads and writes the
// same geometries and font sizes without computing them, both on the same shown window and both with
// redrawing suspended while they write.
// Run: QT_QPA_PLATFORM=offscreen bench_morphel

#include "morphelengine.h"
#include "morphelqthost.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int ControlCount = 300;
constexpr int PassesPerRound = 4;
constexpr int Rounds = 150;

// The window's client size is given by the benchmark instead of by resizing the window, so that
// only the pass itself is timed.
class BenchHost : public MorphelQtHost
{
public:
    using MorphelQtHost::MorphelQtHost;
    MorphelSize clientSize() const override { return size; }
    MorphelSize size;
};

struct Target
{
    QWidget *widget;
    QRect rect[2];
    double font[2];
};

QWidget *makeControl(int i, QWidget *parent)
{
    QWidget *w = nullptr;
    switch (i % 4) {
    case 0: w = new QLabel(QStringLiteral("Label"), parent); break;
    case 1: w = new QLineEdit(parent); break;
    case 2: w = new QPushButton(QStringLiteral("Button"), parent); break;
    default: w = new QCheckBox(QStringLiteral("Check"), parent); break;
    }
    static const char *const names[] = {"lblItem_%1", "txtItem_%1", "cmdItem_%1", "ckItem_%1"};
    w->setObjectName(QString::fromLatin1(names[i % 4]).arg(i / 4));
    w->setGeometry(10 + (i % 10) * 95, 10 + (i / 10) * 22, 90, 20);
    QFont font = w->font();
    font.setPointSizeF(9);
    w->setFont(font);
    return w;
}

// The least disturbed round: the machine is shared, and other work only ever adds time.
double best(const std::vector<double> &values)
{
    return *std::min_element(values.begin(), values.end());
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QWidget window;
    window.resize(1000, 700);
    for (int i = 0; i < ControlCount; ++i)
        makeControl(i, &window);
    window.show();
    QCoreApplication::processEvents();

    BenchHost host(&window);
    const double tx = host.twipsPerPixelX();
    const double ty = host.twipsPerPixelY();
    const MorphelSize design{1000 * tx, 700 * ty};
    const MorphelSize sizes[2] = {{design.width * 1.2, design.height * 1.1},
                                  {design.width * 1.5, design.height * 1.3}};
    MorphelEngine engine;
    engine.setContainerSize(design.width, design.height);
    host.size = design;
    engine.capture(host);
    if (engine.recordCount() != ControlCount) {
        std::fprintf(stderr, "bench_morphel: %d controls recorded, expected %d\n", engine.recordCount(),
                     ControlCount);
        return 1;
    }

    // What the layout pass writes at each of the two sizes, for the baseline to write without computing.
    std::vector<Target> targets;
    for (QWidget *w : window.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        targets.push_back({w, {}, {}});
    for (int k = 0; k < 2; ++k) {
        host.size = sizes[k];
        engine.layout(host);
        for (Target &t : targets) {
            t.rect[k] = t.widget->geometry();
            t.font[k] = t.widget->font().pointSizeF();
        }
    }

    std::vector<double> layoutTimes, baseTimes;
    QElapsedTimer timer;
    long long checksum = 0;
    for (int round = 0; round < Rounds; ++round) {
        timer.start();
        for (int pass = 0; pass < PassesPerRound; ++pass) {
            host.size = sizes[pass % 2];
            engine.layout(host);
        }
        layoutTimes.push_back(timer.nsecsElapsed() / 1e6 / PassesPerRound);
        QCoreApplication::processEvents();

        timer.start();
        for (int pass = 0; pass < PassesPerRound; ++pass) {
            const int k = pass % 2;
            window.setUpdatesEnabled(false);   // the same suspended redraw as the layout pass
            for (Target &t : targets) {
                checksum += t.widget->geometry().width();
                QFont font = t.widget->font();
                if (font.pointSizeF() != t.font[k]) {
                    font.setPointSizeF(t.font[k]);
                    t.widget->setFont(font);
                }
                t.widget->setGeometry(t.rect[k]);
            }
            window.setUpdatesEnabled(true);
            window.update();
        }
        baseTimes.push_back(timer.nsecsElapsed() / 1e6 / PassesPerRound);
        QCoreApplication::processEvents();
    }

    if (engine.passCount() != 3 + Rounds * PassesPerRound) {
        std::fprintf(stderr, "bench_morphel: only %d layout passes ran\n", engine.passCount());
        return 1;
    }
    const double layoutMs = best(layoutTimes);
    const double baseMs = best(baseTimes);
    std::printf("bench_morphel: layout pass over %d controls: %.3f ms per pass (limit 5 ms)\n",
                ControlCount, layoutMs);
    std::printf("bench_morphel: read/write-only pass over the same controls: %.3f ms per pass\n", baseMs);
    std::printf("bench_morphel: ratio layout/read-write: %.2f (limit 1.5)\n", layoutMs / baseMs);
    return checksum == 0 ? 1 : 0;
}
