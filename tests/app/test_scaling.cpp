// Every window of the program drawn at the scale factor this run was started with (ctest runs the
// program once per factor: QT_SCALE_FACTOR 1, 1.25, 1.5, 1.75 and 2, QT_FONT_DPI 144, and a screen too
// small for the windows) as it is drawn at 1: each framed control's frame on all four sides, the inside
// of lists and text boxes painted, every caption within its control, no control on top of another that
// the design keeps apart, every window within the screen's work area.

#include "about/frmabout.h"
#include "maintenance/frminout.h"
#include "maintenance/frmrestore.h"
#include "mainwindow/frmtablora.h"
#include "query/frmsql.h"
#include "query/frmtextediter.h"
#include "schema/frmcreatedb.h"
#include "sqllog/frmsqllog.h"
#include "sqllog/sqllogmodel.h"
#include "users/frmuseradd.h"
#include "widgets/framestyle.h"
#include "widgets/screenfit.h"

#include "connection.h"
#include "servertest.h"
#include "session.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <functional>
#include <memory>

namespace {

struct WindowCase
{
    const char *name;
    std::function<std::unique_ptr<QWidget>()> make;
};

bool placedByLayout(const QWidget *widget)
{
    const QWidget *parent = widget->parentWidget();
    return parent && parent->layout() && parent->layout()->indexOf(const_cast<QWidget *>(widget)) >= 0;
}

bool near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) <= 12;
}

// The window as it is on screen, in device pixels, and where each control lies in it.
class Rendering
{
public:
    explicit Rendering(QWidget &window)
        : m_window(window), m_image(window.grab().toImage()), m_ratio(m_image.devicePixelRatio())
    {
    }

    qreal ratio() const { return m_ratio; }

    // The device pixel column or row where a logical coordinate of the window begins.
    int device(qreal logical) const { return int(std::lround(logical * m_ratio)); }

    QRgb pixel(int x, int y) const
    {
        x = std::clamp(x, 0, m_image.width() - 1);
        y = std::clamp(y, 0, m_image.height() - 1);
        return m_image.pixel(x, y);
    }

    QRect logicalRect(const QWidget *widget) const
    {
        return QRect(widget->mapTo(&m_window, QPoint(0, 0)), widget->size());
    }

    // Which sides of the control show its frame: at points along each side, some pixel of the frame's
    // own row differs from both the control's inside and the background around it. A side is missing
    // when any point along it shows no frame.
    QString missingSides(const QWidget *widget, int frameWidth, QRgb inside, QRgb around) const
    {
        const QRect r = logicalRect(widget);
        const int left = device(r.left()), right = device(r.left() + r.width()) - 1;
        const int top = device(r.top()), bottom = device(r.top() + r.height()) - 1;
        const int depth = std::max(1, int(std::ceil(frameWidth * m_ratio)));
        const auto isFrame = [&](QRgb c) { return !near(c, inside) && !near(c, around); };
        const auto sideShown = [&](bool vertical, int edge, int inward) {
            const int from = vertical ? top : left, to = vertical ? bottom : right;
            for (int step = 1; step < 10; ++step) {
                const int along = from + (to - from) * step / 10;
                bool found = false;
                for (int d = 0; d < depth && !found; ++d) {
                    const int across = edge + inward * d;
                    found = isFrame(vertical ? pixel(across, along) : pixel(along, across));
                }
                if (!found)
                    return false;
            }
            return true;
        };
        QString missing;
        if (!sideShown(true, left, 1))
            missing += QStringLiteral(" left");
        if (!sideShown(true, right, -1))
            missing += QStringLiteral(" right");
        if (!sideShown(false, top, 1))
            missing += QStringLiteral(" top");
        if (!sideShown(false, bottom, -1))
            missing += QStringLiteral(" bottom");
        return missing;
    }

private:
    QWidget &m_window;
    QImage m_image;
    qreal m_ratio;
};

// The width a control's caption needs and the width it has for it.
std::pair<int, int> captionWidths(const QWidget *widget)
{
    const auto needed = [&](const QString &text) {
        return widget->fontMetrics().size(Qt::TextShowMnemonic, text).width();
    };
    if (const auto *label = qobject_cast<const QLabel *>(widget)) {
        if (label->text().isEmpty() || label->wordWrap() || Qt::mightBeRichText(label->text()))
            return {0, 0};
        const int indent = label->indent() > 0 ? label->indent() : 0;
        return {needed(label->text()), label->contentsRect().width() - 2 * label->margin() - indent};
    }
    const auto *button = qobject_cast<const QAbstractButton *>(widget);
    if (!button || button->text().isEmpty())
        return {0, 0};
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    QStyle::SubElement contents = QStyle::SE_PushButtonContents;
    if (qobject_cast<const QCheckBox *>(button))
        contents = QStyle::SE_CheckBoxContents;
    else if (qobject_cast<const QRadioButton *>(button))
        contents = QStyle::SE_RadioButtonContents;
    else if (!qobject_cast<const QPushButton *>(button))
        return {0, 0};
    return {needed(button->text()), button->style()->subElementRect(contents, &option, button).width()};
}

class ScaledWindow : public ServerTest, public ::testing::WithParamInterface<WindowCase>
{
protected:
    // As the program starts.
    static void SetUpTestSuite()
    {
        installFrameStyle();
        installScreenFit();
    }
    // Only the session's connection to the sandbox: no database of the test's own, so that the runs at
    // the different scales can go side by side.
    void SetUp() override { Session::instance().reset(); }
    void TearDown() override { Session::instance().reset(); }
};

TEST_P(ScaledWindow, IsDrawnAsAtScaleOne)
{
    ASSERT_TRUE(connectSession());
    std::unique_ptr<QWidget> window = GetParam().make();
    // Where the design puts each control that no layout places, before the window is shown.
    std::vector<std::pair<QWidget *, QRect>> design;
    for (QWidget *child : window->findChildren<QWidget *>()) {
        if (!child->objectName().isEmpty() && !child->isWindow() && !placedByLayout(child))
            design.emplace_back(child, child->geometry());
    }
    // Enabled, every list and text box shows its own background, apart from the window's.
    for (QWidget *child : window->findChildren<QWidget *>())
        child->setEnabled(true);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QCoreApplication::processEvents();

    const QRect workArea = window->screen()->availableGeometry();
    EXPECT_TRUE(workArea.contains(window->frameGeometry()))
        << window->frameGeometry().width() << "x" << window->frameGeometry().height() << " on "
        << workArea.width() << "x" << workArea.height();

    const Rendering shown(*window);
    for (QWidget *control : window->findChildren<QWidget *>()) {
        if (!control->isVisible() || control->isWindow() || control->width() <= 0)
            continue;
        const QString name = control->objectName().isEmpty()
            ? QString::fromLatin1(control->metaObject()->className()) : control->objectName();
        SCOPED_TRACE(name.toStdString());
        const QRgb around = control->parentWidget()->palette().color(QPalette::Window).rgb();

        // Frames: framed labels and panels, lists, text boxes and grids, line edits.
        const auto *frame = qobject_cast<const QFrame *>(control);
        const auto *edit = qobject_cast<const QLineEdit *>(control);
        const auto *area = qobject_cast<const QAbstractScrollArea *>(control);
        const bool framed = (frame && frame->frameWidth() > 0 && frame->frameShape() != QFrame::HLine
                             && frame->frameShape() != QFrame::VLine)
            || (edit && edit->hasFrame());
        if (framed && control->width() > 8 && control->height() > 8) {
            const QWidget *inner = area ? area->viewport() : control;
            const QRgb inside = inner->palette().color(inner->backgroundRole()).rgb();
            const int width = frame ? frame->frameWidth() : 1;
            EXPECT_EQ(shown.missingSides(control, width, inside, around).toStdString(), "") << "frame missing";
        }
        // The inside of lists, text boxes and grids painted in their own background.
        if (area && area->viewport()->width() > 8 && area->viewport()->height() > 8) {
            const QWidget *viewport = area->viewport();
            const QRect r = shown.logicalRect(viewport);
            const QRgb inside = viewport->palette().color(viewport->backgroundRole()).rgb();
            const QRgb corner = shown.pixel(shown.device(r.right() - 3), shown.device(r.bottom() - 3));
            EXPECT_TRUE(near(corner, inside)) << "background " << std::hex << corner << " not " << inside;
        }
        // Captions whole.
        const auto [needed, available] = captionWidths(control);
        EXPECT_LE(needed, available) << "caption cut";
    }

    // No control on top of another unless the design puts it there.
    for (size_t i = 0; i < design.size(); ++i) {
        for (size_t j = i + 1; j < design.size(); ++j) {
            const auto &[a, designA] = design[i];
            const auto &[b, designB] = design[j];
            if (a->parentWidget() != b->parentWidget() || !a->isVisible() || !b->isVisible()
                || designA.intersects(designB))
                continue;
            EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                << a->objectName().toStdString() << " overlaps " << b->objectName().toStdString();
        }
    }
}

QTemporaryDir &settingsFolder()
{
    static QTemporaryDir folder;
    return folder;
}

SqlLogModel &logModel()
{
    static SqlLogModel model;
    return model;
}

RestoreSelection &restoreSelection()
{
    static RestoreSelection selection;
    return selection;
}

template <typename T, typename... Args>
std::function<std::unique_ptr<QWidget>()> make(Args... args)
{
    return [=] { return std::unique_ptr<QWidget>(new T(args...)); };
}

INSTANTIATE_TEST_SUITE_P(
    Windows, ScaledWindow,
    ::testing::Values(
        WindowCase{"Main", [] { return std::unique_ptr<QWidget>(new frmTablora(settingsFolder().path())); }},
        WindowCase{"Query", make<frmSql>()},
        WindowCase{"Users", make<frmUserAdd>()},
        WindowCase{"Restore", [] { return std::unique_ptr<QWidget>(new frmRestore(restoreSelection())); }},
        WindowCase{"ImportExport", [] {
                       return std::unique_ptr<QWidget>(new frmInOut(QStringLiteral("items"), QDir::tempPath()));
                   }},
        WindowCase{"CreateDatabase", make<frmCreateDB>()},
        WindowCase{"StatementLog", [] { return std::unique_ptr<QWidget>(new frmSqlLog(logModel())); }},
        WindowCase{"About", make<frmAbout>()},
        WindowCase{"TextEditor", make<frmTextEditer>()}),
    [](const ::testing::TestParamInfo<WindowCase> &info) { return std::string(info.param.name); });

} // namespace
