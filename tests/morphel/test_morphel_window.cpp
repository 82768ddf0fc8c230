// Real windows under the offscreen platform: a form loaded from its .ui, a main window that hosts the
// control in code, several instances, the work area, minimise and restore.

#include "morphel.h"
#include "ui_morpheltestform.h"

#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A top-level resize reaches the widget through the platform: wait until it arrived.
void resizeWindow(QWidget &window, int width, int height)
{
    window.resize(width, height);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.size() == QSize(width, height); }, 1000));
    QCoreApplication::processEvents();
}

void showWindow(QWidget &window)
{
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
}

class FormTest : public ::testing::Test
{
protected:
    void SetUp() override { ui.setupUi(&form); }

    QWidget form;
    Ui::frmMorphelTest ui;
};

TEST_F(FormTest, PropertiesComeFromTheDesign)
{
    EXPECT_DOUBLE_EQ(ui.Morphel1->containerWidth(), 6000);
    EXPECT_DOUBLE_EQ(ui.Morphel1->containerHeight(), 4500);
    EXPECT_EQ(ui.Morphel1->fontNoResize(), QStringLiteral("lblTitle"));
    EXPECT_EQ(ui.Morphel1->noResize(), QStringLiteral("cmdOk , @Text9"));
    EXPECT_EQ(ui.Morphel1->noResizeAt(), QStringLiteral(" @Text9"));
    EXPECT_EQ(ui.Morphel1->fontNoResizeAt(), QString());
    const QMetaObject *meta = ui.Morphel1->metaObject();
    EXPECT_STREQ(meta->classInfo(meta->indexOfClassInfo("ProgID")).value(), "MorphelCtl.Morphel");
}

TEST_F(FormTest, ResizingTheWindowRescalesItsControls)
{
    showWindow(form);
    Morphel *morphel = ui.Morphel1;
    EXPECT_TRUE(morphel->isWorking());
    EXPECT_TRUE(morphel->engine().initialised());
    EXPECT_FALSE(morphel->isVisible());
    EXPECT_NE(morphel->engine().record(QStringLiteral("Text1 0")), nullptr);
    EXPECT_NE(morphel->engine().record(QStringLiteral("ckOne")), nullptr);
    EXPECT_EQ(morphel->engine().record(QStringLiteral("Morphel1")), nullptr);

    resizeWindow(form, 800, 300);
    EXPECT_EQ(ui.Text1_0->geometry(), QRect(20, 10, 200, 20));
    EXPECT_EQ(ui.Text1_1->geometry(), QRect(20, 40, 200, 20));
    EXPECT_EQ(ui.fraBox->geometry(), QRect(20, 100, 400, 100));
    EXPECT_EQ(ui.ckOne->geometry(), QRect(20, 10, 200, 20));
    EXPECT_EQ(ui.cmdOk->geometry(), QRect(600, 260, 80, 30));   // listed in NoResize: moved, same size
    EXPECT_DOUBLE_EQ(ui.cmdOk->font().pointSizeF(), 12);

    resizeWindow(form, 800, 150);
    EXPECT_EQ(ui.Text1_0->geometry(), QRect(20, 5, 200, 10));
    EXPECT_DOUBLE_EQ(ui.cmdOk->font().pointSizeF(), 6);
    EXPECT_DOUBLE_EQ(ui.lblTitle->font().pointSizeF(), 10);     // listed in FontNoResize
    EXPECT_DOUBLE_EQ(ui.Text1_0->font().pointSizeF() * 2, form.font().pointSizeF());
    // Listed in NoResize: never wider than designed, but as much lower as the window (which is lower than
    // designed), so that it stays clear of its neighbours.
    EXPECT_EQ(ui.cmdOk->geometry(), QRect(600, 130, 80, 15));

    // The control's own size is fixed at 500 x 500 twips.
    morphel->resize(200, 120);
    EXPECT_EQ(morphel->size(), QSize(33, 33));
}

// Widgets are placed in device-independent pixels (1/96 inch) whatever the screen's dpi, font dpi or scale
// factor: the design size in twips is the form's size in its .ui, so a window shown at its design size
// keeps every control and font as designed. (Also run with QT_FONT_DPI=144 and QT_SCALE_FACTOR=1.5.)
TEST_F(FormTest, AtItsDesignSizeNothingIsRescaledAtAnyDpi)
{
    showWindow(form);
    EXPECT_TRUE(ui.Morphel1->isWorking());
    EXPECT_EQ(form.size(), QSize(400, 300));
    EXPECT_EQ(ui.Text1_0->geometry(), QRect(10, 10, 100, 20));
    EXPECT_EQ(ui.Text1_1->geometry(), QRect(10, 40, 100, 20));
    EXPECT_DOUBLE_EQ(ui.lblTitle->font().pointSizeF(), 10);
    EXPECT_DOUBLE_EQ(ui.cmdOk->font().pointSizeF(), 12);
    // Twice the size doubles geometry and fonts, at any dpi alike.
    resizeWindow(form, 800, 600);
    EXPECT_EQ(ui.Text1_0->geometry(), QRect(20, 20, 200, 40));
    EXPECT_DOUBLE_EQ(ui.cmdOk->font().pointSizeF(), 24);
}

TEST_F(FormTest, MinimiseChangesNothingAndRestoreAtTheSameSizeRunsNoPass)
{
    showWindow(form);
    resizeWindow(form, 600, 450);
    const int passes = ui.Morphel1->engine().passCount();
    const QRect placed = ui.Text1_0->geometry();
    EXPECT_EQ(placed, QRect(15, 15, 150, 30));

    form.setWindowState(Qt::WindowMinimized);
    QCoreApplication::processEvents();
    resizeWindow(form, 200, 100);
    EXPECT_EQ(ui.Text1_0->geometry(), placed);

    form.setWindowState(Qt::WindowNoState);
    resizeWindow(form, 600, 450);
    EXPECT_EQ(ui.Morphel1->engine().passCount(), passes);
    EXPECT_EQ(ui.Text1_0->geometry(), placed);
}

TEST(MorphelWindow, HostedInCodeOnAMainWindowFollowsTheProgramsChanges)
{
    QMainWindow window;
    auto *central = new QWidget(&window);
    central->setObjectName(QStringLiteral("centralwidget"));
    window.setCentralWidget(central);
    auto *cmdGo = new QPushButton(QStringLiteral("Go"), central);
    cmdGo->setObjectName(QStringLiteral("cmdGo"));
    cmdGo->setGeometry(50, 50, 100, 30);
    auto *morphel = new Morphel(central);
    morphel->setObjectName(QStringLiteral("Morphel1"));
    window.resize(400, 300);
    showWindow(window);

    // No design size given: the size at first show is the design size.
    EXPECT_DOUBLE_EQ(morphel->containerWidth(), 400 * 15);
    EXPECT_DOUBLE_EQ(morphel->containerHeight(), 300 * 15);
    EXPECT_EQ(morphel->engine().record(QStringLiteral("centralwidget")), nullptr);

    resizeWindow(window, 800, 600);
    EXPECT_EQ(cmdGo->geometry(), QRect(100, 100, 200, 60));

    // The program moves a control and creates another one at factor 2.
    cmdGo->move(300, 100);
    auto *cmdNew = new QPushButton(QStringLiteral("New"), central);
    cmdNew->setObjectName(QStringLiteral("cmdNew_3"));
    cmdNew->setGeometry(40, 40, 20, 20);
    cmdNew->show();

    resizeWindow(window, 400, 300);
    EXPECT_EQ(cmdGo->geometry(), QRect(150, 50, 100, 30));
    EXPECT_EQ(cmdNew->geometry(), QRect(20, 20, 10, 10));
    EXPECT_NE(morphel->engine().record(QStringLiteral("cmdNew 3")), nullptr);
}

TEST(MorphelWindow, OnlyTheFirstInstanceWorks)
{
    QWidget window;
    auto *text = new QWidget(&window);
    text->setObjectName(QStringLiteral("Text1"));
    text->setGeometry(10, 10, 100, 20);
    auto *first = new Morphel(&window);
    auto *second = new Morphel(&window);
    window.resize(400, 300);
    showWindow(window);
    resizeWindow(window, 800, 600);

    EXPECT_TRUE(first->isWorking());
    EXPECT_FALSE(second->isWorking());
    EXPECT_TRUE(second->engine().initialised());
    EXPECT_EQ(second->engine().passCount(), 0);
    EXPECT_EQ(second->engine().recordCount(), 0);
    EXPECT_GE(first->engine().passCount(), 1);
    EXPECT_EQ(text->geometry(), QRect(20, 20, 200, 40));

    // A Morphel inside a frame is not on the form: it neither captures nor hooks.
    auto *frame = new QWidget(&window);
    auto *nested = new Morphel(frame);
    EXPECT_FALSE(nested->isWorking());
    EXPECT_FALSE(nested->engine().initialised());
}

TEST(MorphelWindow, HostedByAWindowAlreadyOnScreen)
{
    QWidget window;
    auto *text = new QWidget(&window);
    text->setObjectName(QStringLiteral("Text1"));
    text->setGeometry(10, 10, 100, 20);
    window.resize(400, 300);
    showWindow(window);

    auto *morphel = new Morphel(&window);
    morphel->setContainerWidth(200 * 15);
    morphel->setContainerHeight(300 * 15);
    QCoreApplication::processEvents();
    EXPECT_TRUE(morphel->engine().initialised());
    EXPECT_EQ(text->geometry(), QRect(20, 10, 200, 20));
}

TEST(MorphelWindow, ControlsOnAHiddenTabAreScaledAndShowScaled)
{
    QWidget window;
    auto *tabs = new QTabWidget(&window);
    tabs->setObjectName(QStringLiteral("tabMain"));
    tabs->setGeometry(10, 10, 300, 200);
    auto *page0 = new QWidget;
    page0->setObjectName(QStringLiteral("tab"));
    auto *page1 = new QWidget;
    page1->setObjectName(QStringLiteral("tab_2"));
    tabs->addTab(page0, QStringLiteral("A"));
    tabs->addTab(page1, QStringLiteral("B"));
    auto *onHidden = new QWidget(page1);
    onHidden->setObjectName(QStringLiteral("txtHidden"));
    onHidden->setGeometry(20, 30, 100, 20);
    auto *morphel = new Morphel(&window);
    window.resize(400, 300);
    showWindow(window);
    EXPECT_EQ(morphel->engine().record(QStringLiteral("tab 2")), nullptr);   // pages belong to the tabs

    resizeWindow(window, 800, 600);
    EXPECT_EQ(tabs->geometry(), QRect(20, 20, 600, 400));
    EXPECT_EQ(onHidden->geometry(), QRect(40, 60, 200, 40));
    tabs->setCurrentIndex(1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(onHidden->isVisible());
    EXPECT_EQ(onHidden->geometry(), QRect(40, 60, 200, 40));
}

// A control inside a frame has its own font: when the frame is re-fonted, a control listed in
// FontNoResize keeps its size, and a listed frame does not hold back the controls inside it.
TEST(MorphelWindow, ControlsInsideAFrameKeepTheirOwnFont)
{
    QWidget window;
    auto *frame = new QFrame(&window);
    frame->setObjectName(QStringLiteral("fraBox"));
    frame->setGeometry(10, 10, 200, 100);
    auto *kept = new QCheckBox(QStringLiteral("SELECT"), frame);
    kept->setObjectName(QStringLiteral("ckPriv_0"));
    kept->setGeometry(10, 10, 100, 20);
    auto *scaled = new QCheckBox(QStringLiteral("INSERT"), frame);
    scaled->setObjectName(QStringLiteral("ckPriv_1"));
    scaled->setGeometry(10, 40, 100, 20);
    auto *other = new QFrame(&window);
    other->setObjectName(QStringLiteral("fraOther"));
    other->setGeometry(220, 10, 100, 100);
    auto *inOther = new QCheckBox(QStringLiteral("DROP"), other);
    inOther->setObjectName(QStringLiteral("ckDrop"));
    inOther->setGeometry(10, 10, 80, 20);
    const double base = frame->font().pointSizeF();
    auto *morphel = new Morphel(&window);
    morphel->setFontNoResize(QStringLiteral("ckPriv 0 , fraOther"));
    window.resize(400, 300);
    showWindow(window);

    resizeWindow(window, 800, 600);
    EXPECT_DOUBLE_EQ(frame->font().pointSizeF(), base * 2);
    EXPECT_DOUBLE_EQ(kept->font().pointSizeF(), base);
    EXPECT_DOUBLE_EQ(scaled->font().pointSizeF(), base * 2);
    EXPECT_DOUBLE_EQ(other->font().pointSizeF(), base);
    EXPECT_DOUBLE_EQ(inOther->font().pointSizeF(), base * 2);

    resizeWindow(window, 200, 150);
    EXPECT_DOUBLE_EQ(kept->font().pointSizeF(), base);
    EXPECT_DOUBLE_EQ(scaled->font().pointSizeF(), base / 2);
    EXPECT_DOUBLE_EQ(inOther->font().pointSizeF(), base / 2);
}

TEST(MorphelWindow, AWindowLargerThanTheWorkAreaIsShrunkAtFirstShow)
{
    // The offscreen screen: 800 x 800 pixels, all of them work area; a window's frame is 2 pixels wide.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_EQ(area.size(), QSize(800, 800));
    QWidget window;
    auto *text = new QWidget(&window);
    text->setObjectName(QStringLiteral("Text1"));
    text->setGeometry(100, 100, 200, 100);
    auto *morphel = new Morphel(&window);
    morphel->setContainerWidth(1000 * 15.0);
    morphel->setContainerHeight(1600 * 15.0);
    window.resize(1000, 1600);
    showWindow(window);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.width() <= area.width(); }, 1000));
    QCoreApplication::processEvents();

    // The outer size fits the work area; the controls follow the client area inside the frame, 796 x 796:
    // 796/1000 across, 796/1600 down (100 x 100 + 200 x 100 becomes 79.6, 49.75 + 159.2 x 49.75).
    EXPECT_EQ(window.frameGeometry().size(), QSize(800, 800));
    EXPECT_EQ(window.size(), QSize(796, 796));
    EXPECT_EQ(text->geometry(), QRect(80, 50, 159, 50));
}

} // namespace
