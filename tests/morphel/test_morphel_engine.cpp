// The layout engine against plain fake controls: no widgets, exact twips.

#include "morphelengine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace {

using P = MorphelProp;

class FakeHost;

class FakeControl : public MorphelControl
{
public:
    FakeControl(FakeHost *host, QString name, int index, QString container)
        : m_host(host), m_name(std::move(name)), m_index(index), m_container(std::move(container)) {}

    QString name() const override { return m_name; }
    int index() const override { return m_index; }
    QString containerType() const override { return m_container; }
    std::optional<double> value(P prop) const override
    {
        const auto it = values.find(prop);
        return it == values.end() ? std::nullopt : std::optional<double>(it->second);
    }
    bool setValue(P prop, double value) override;

    FakeControl &box(double left, double top, double width, double height)
    {
        values[P::Left] = left;
        values[P::Top] = top;
        values[P::Width] = width;
        values[P::Height] = height;
        return *this;
    }
    FakeControl &font(double size) { values[P::FontSize] = size; return *this; }
    FakeControl &line(double x1, double y1, double x2, double y2)
    {
        values[P::X1] = x1;
        values[P::Y1] = y1;
        values[P::X2] = x2;
        values[P::Y2] = y2;
        return *this;
    }
    double operator[](P prop) const { return values.at(prop); }

    std::map<P, double> values;
    std::set<P> refused;

private:
    FakeHost *m_host;
    QString m_name;
    int m_index;
    QString m_container;
};

class FakeHost : public MorphelHost
{
public:
    FakeControl &add(const QString &name, int index = -1, const QString &container = QStringLiteral("Form"))
    {
        items.push_back(std::make_unique<FakeControl>(this, name, index, container));
        return *items.back();
    }
    std::vector<MorphelControl *> controls() override
    {
        std::vector<MorphelControl *> result;
        for (auto &item : items)
            result.push_back(item.get());
        return result;
    }
    MorphelSize clientSize() const override { return client; }
    double screenWidth() const override { return screen; }
    std::optional<MorphelSize> workArea() const override { return area; }
    MorphelSize windowSize() const override { return {client.width + 120, client.height + 500}; }
    void setWindowSize(MorphelSize size) override
    {
        log.push_back("window");
        client = {size.width - 120, size.height - 500};
    }
    void setRedraw(bool on) override { log.push_back(on ? "redraw on" : "redraw off"); }
    void repaint() override { log.push_back("repaint"); }

    std::vector<std::unique_ptr<FakeControl>> items;
    MorphelSize client{6000, 4000};
    double screen = 1024 * 15;   // threshold: 15360 - 75000 = -59640
    std::optional<MorphelSize> area = MorphelSize{1024 * 15, 738 * 15};
    std::vector<std::string> log;
};

bool FakeControl::setValue(P prop, double value)
{
    if (!values.count(prop))
        return false;
    m_host->log.push_back("set");
    if (refused.count(prop))
        return false;
    values[prop] = value;
    return true;
}

class EngineTest : public ::testing::Test
{
protected:
    void SetUp() override { engine.setContainerSize(6000, 4000); }
    void start() { engine.capture(host); }
    bool resizeTo(double width, double height)
    {
        host.client = {width, height};
        return engine.resized(host, false);
    }

    FakeHost host;
    MorphelEngine engine;
};

TEST_F(EngineTest, TwiceAsWideScalesHorizontallyOnlyAndKeepsFonts)
{
    FakeControl &text = host.add("Text1").box(100, 200, 1000, 300).font(9);
    FakeControl &line = host.add("Line1");
    line.values = {{P::X1, 100}, {P::X2, 900}, {P::Y1, 50}, {P::Y2, 450}};
    start();
    EXPECT_EQ(engine.passCount(), 1);

    ASSERT_TRUE(resizeTo(12000, 4000));
    EXPECT_DOUBLE_EQ(text[P::Left], 200);
    EXPECT_DOUBLE_EQ(text[P::Width], 2000);
    EXPECT_DOUBLE_EQ(text[P::Top], 200);
    EXPECT_DOUBLE_EQ(text[P::Height], 300);
    EXPECT_DOUBLE_EQ(text[P::FontSize], 9);
    EXPECT_DOUBLE_EQ(line[P::X1], 200);
    EXPECT_DOUBLE_EQ(line[P::X2], 1800);
    EXPECT_DOUBLE_EQ(line[P::Y1], 50);
    EXPECT_DOUBLE_EQ(line[P::Y2], 450);
    EXPECT_FALSE(line.values.count(P::Top));   // a line gains no properties

    // Back to the design size: everything is where it was drawn.
    ASSERT_TRUE(resizeTo(6000, 4000));
    EXPECT_DOUBLE_EQ(text[P::Left], 100);
    EXPECT_DOUBLE_EQ(text[P::Width], 1000);
}

TEST_F(EngineTest, HalfHighHalvesFontsUnlessListed)
{
    FakeControl &a = host.add("Text1").box(0, 1000, 500, 400).font(9);
    FakeControl &b = host.add("lblTitle").box(0, 0, 500, 400).font(12);
    FakeControl &tab = host.add("SSTab1").box(0, 0, 3000, 3000).font(9);
    tab.values[P::TabHeight] = 600;
    engine.setFontNoResize(QStringLiteral("lblTitle"));
    start();

    ASSERT_TRUE(resizeTo(6000, 2000));
    EXPECT_DOUBLE_EQ(a[P::Top], 500);
    EXPECT_DOUBLE_EQ(a[P::Height], 200);
    EXPECT_DOUBLE_EQ(a[P::Width], 500);
    EXPECT_DOUBLE_EQ(a[P::FontSize], 4.5);
    EXPECT_DOUBLE_EQ(b[P::FontSize], 12);
    EXPECT_DOUBLE_EQ(b[P::Height], 200);   // the font is kept, the geometry is not
    EXPECT_DOUBLE_EQ(tab[P::TabHeight], 300);
}

TEST_F(EngineTest, ListsMatchSubstringsAndAtEntriesWithLetterCase)
{
    FakeControl &text1 = host.add("Text1").box(0, 0, 100, 100).font(10);
    FakeControl &lower = host.add("text2").box(0, 0, 100, 100).font(10);
    FakeControl &el0 = host.add("Combo1", 0).box(0, 0, 100, 100).font(10);
    FakeControl &el1 = host.add("Combo1", 1).box(0, 0, 100, 100).font(10);
    FakeControl &opt0 = host.add("optField", 0).box(0, 0, 100, 100).font(10);
    FakeControl &opt1 = host.add("optField", 1).box(0, 0, 100, 100).font(10);
    // "Text10" holds "Text1"; "Text2" is not "text2"; "Combo1 1" names one element; "@optField" all.
    engine.setFontNoResize(QStringLiteral("Text10 , Text2 , Combo1 1 , @optField"));
    start();
    ASSERT_TRUE(resizeTo(3000, 2000));

    EXPECT_DOUBLE_EQ(text1[P::FontSize], 10);
    EXPECT_DOUBLE_EQ(lower[P::FontSize], 5);
    EXPECT_DOUBLE_EQ(el0[P::FontSize], 5);
    EXPECT_DOUBLE_EQ(el1[P::FontSize], 10);
    EXPECT_DOUBLE_EQ(opt0[P::FontSize], 10);
    EXPECT_DOUBLE_EQ(opt1[P::FontSize], 10);
    EXPECT_TRUE(engine.record("optField 1")->varFontNoResize);
    EXPECT_FALSE(engine.record("Combo1 0")->varFontNoResize);

    EXPECT_EQ(MorphelEngine::atEntries(QStringLiteral("Text1 , @Text2")), QStringLiteral(" @Text2"));
    EXPECT_EQ(MorphelEngine::atEntries(QStringLiteral("@a,b,@c")), QStringLiteral("@a,@c"));
    EXPECT_EQ(MorphelEngine::atEntries(QStringLiteral("Text1 , Text2")), QString());
}

TEST_F(EngineTest, NoResizeKeepsTheSizeButFollowsWithItsPlace)
{
    FakeControl &kept = host.add("picLogo").box(300, 300, 900, 600).font(10);
    FakeControl &other = host.add("cmdOk").box(300, 300, 900, 600).font(10);
    FakeControl &line = host.add("linRule").line(100, 200, 1100, 200);
    engine.setNoResize(QStringLiteral("picLogo , linRule"));
    start();
    ASSERT_TRUE(resizeTo(12000, 8000));
    EXPECT_DOUBLE_EQ(kept[P::Left], 600);
    EXPECT_DOUBLE_EQ(kept[P::Top], 600);
    EXPECT_DOUBLE_EQ(line[P::X1], 200);
    EXPECT_DOUBLE_EQ(line[P::X2], 1200); // the same length, moved with its first end
    EXPECT_DOUBLE_EQ(line[P::Y2], 400);
    EXPECT_DOUBLE_EQ(kept[P::Width], 900);
    EXPECT_DOUBLE_EQ(kept[P::Height], 600);
    EXPECT_DOUBLE_EQ(kept[P::FontSize], 20);
    EXPECT_DOUBLE_EQ(other[P::Width], 1800);
    EXPECT_TRUE(engine.record("picLogo")->varNoResize);

    // In a window smaller than designed it shrinks with the rest, so it stays clear of its neighbours.
    ASSERT_TRUE(resizeTo(3000, 6000));
    EXPECT_DOUBLE_EQ(kept[P::Width], 450);
    EXPECT_DOUBLE_EQ(kept[P::Height], 600);
    // Sized by the program there, it keeps that size as its own at the design size and beyond.
    kept.values[P::Width] = 300;
    ASSERT_TRUE(resizeTo(12000, 8000));
    EXPECT_DOUBLE_EQ(kept[P::Width], 600);
    EXPECT_DOUBLE_EQ(kept[P::Height], 600);
}

TEST_F(EngineTest, ControlsChangedByTheProgramAreRebased)
{
    FakeControl &moved = host.add("cmdGo").box(1000, 400, 600, 300).font(9);
    start();
    ASSERT_TRUE(resizeTo(12000, 4000));
    EXPECT_DOUBLE_EQ(moved[P::Left], 2000);

    // The program moves it and sets a new font at factor 2 (font factor 1).
    moved.values[P::Left] = 3000;
    moved.values[P::FontSize] = 12;
    ASSERT_TRUE(resizeTo(18000, 2000));
    EXPECT_DOUBLE_EQ(moved[P::Left], 4500);       // 3000 / 2 * 3
    EXPECT_DOUBLE_EQ(moved[P::Width], 1800);      // untouched values keep their base
    EXPECT_DOUBLE_EQ(moved[P::FontSize], 6);      // 12 / 1 * 0.5

    // Created by the program while the window is at factor 3 x 0.5.
    FakeControl &made = host.add("cmdNew").box(1500, 100, 300, 50).font(4);
    ASSERT_TRUE(resizeTo(6000, 4000));
    EXPECT_DOUBLE_EQ(made[P::Left], 500);
    EXPECT_DOUBLE_EQ(made[P::Width], 100);
    EXPECT_DOUBLE_EQ(made[P::Top], 200);
    EXPECT_DOUBLE_EQ(made[P::FontSize], 8);
    EXPECT_DOUBLE_EQ(moved[P::Left], 1500);
}

TEST_F(EngineTest, HiddenTabControlsStayHiddenAndReappearScaled)
{
    const QString tabs = QStringLiteral("SSTab");
    FakeControl &shown = host.add("txtShown", -1, tabs).box(500, 800, 1000, 300);
    FakeControl &hidden = host.add("txtHidden", -1, tabs).box(500 - 75000, 800, 1000, 300);
    FakeControl &line = host.add("linHidden", -1, tabs);
    line.values = {{P::X1, 200 - 75000}, {P::X2, 600 - 75000}, {P::Y1, 10}, {P::Y2, 10}};
    start();
    EXPECT_FLOAT_EQ(engine.record("txtHidden")->varLeft, 500);
    EXPECT_FLOAT_EQ(engine.record("linHidden")->varX2, 600);

    ASSERT_TRUE(resizeTo(12000, 4000));
    EXPECT_DOUBLE_EQ(shown[P::Left], 1000);
    EXPECT_DOUBLE_EQ(hidden[P::Left], 1000 - 75000);
    EXPECT_DOUBLE_EQ(hidden[P::Width], 2000);
    EXPECT_DOUBLE_EQ(line[P::X1], 400 - 75000);
    EXPECT_DOUBLE_EQ(line[P::X2], 1200 - 75000);

    // The user switches tabs: the container swaps the offsets.
    shown.values[P::Left] -= 75000;
    hidden.values[P::Left] += 75000;
    line.values[P::X1] += 75000;
    line.values[P::X2] += 75000;
    EXPECT_DOUBLE_EQ(hidden[P::Left], 1000);   // at its scaled place

    ASSERT_TRUE(resizeTo(18000, 4000));
    EXPECT_DOUBLE_EQ(hidden[P::Left], 1500);
    EXPECT_DOUBLE_EQ(line[P::X1], 600);
    EXPECT_DOUBLE_EQ(line[P::X2], 1800);
    EXPECT_DOUBLE_EQ(shown[P::Left], 1500 - 75000);
}

TEST_F(EngineTest, MinimiseAndRestoreRunNoPass)
{
    FakeControl &text = host.add("Text1").box(100, 100, 1000, 300).font(9);
    start();
    ASSERT_TRUE(resizeTo(9000, 6000));
    const int passes = engine.passCount();
    host.log.clear();

    host.client = {0, 0};
    EXPECT_FALSE(engine.resized(host, true));
    host.client = {9000, 6000};
    EXPECT_FALSE(engine.resized(host, false));   // same factors as before
    EXPECT_EQ(engine.passCount(), passes);
    EXPECT_TRUE(host.log.empty());
    EXPECT_DOUBLE_EQ(text[P::Left], 150);

    // A zero client area that is not a minimise is skipped too: nothing to scale by.
    host.client = {9000, 0};
    EXPECT_FALSE(engine.resized(host, false));
    EXPECT_DOUBLE_EQ(text[P::Height], 450);
}

TEST_F(EngineTest, NoPassBeforeTheCaptureOrWithoutADesignSize)
{
    FakeControl &text = host.add("Text1").box(100, 100, 1000, 300);
    EXPECT_FALSE(resizeTo(12000, 4000));
    EXPECT_DOUBLE_EQ(text[P::Left], 100);

    MorphelEngine blank;
    blank.capture(host);
    EXPECT_TRUE(blank.initialised());
    EXPECT_EQ(blank.passCount(), 0);
    EXPECT_DOUBLE_EQ(text[P::Left], 100);
}

TEST_F(EngineTest, RedrawIsSuspendedAroundTheApplyPassAndOneRepaintFollows)
{
    host.add("Text1").box(100, 100, 1000, 300).font(9);
    host.add("Text2").box(100, 500, 1000, 300).font(9);
    start();
    host.log.clear();
    ASSERT_TRUE(resizeTo(12000, 8000));

    ASSERT_GE(host.log.size(), 4u);
    EXPECT_EQ(host.log.front(), "redraw off");
    EXPECT_EQ(host.log[host.log.size() - 2], "redraw on");
    EXPECT_EQ(host.log.back(), "repaint");
    EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "repaint"), 1);
    EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "set"), 10);
}

TEST_F(EngineTest, MissingOrRefusedPropertiesAreSkipped)
{
    FakeControl &fixed = host.add("cboList").box(100, 100, 1000, 300).font(9);
    fixed.refused = {P::Height, P::FontSize};
    FakeControl &after = host.add("Text1").box(100, 100, 1000, 300).font(9);
    start();
    ASSERT_TRUE(resizeTo(12000, 8000));
    EXPECT_DOUBLE_EQ(fixed[P::Height], 300);
    EXPECT_DOUBLE_EQ(fixed[P::FontSize], 9);
    EXPECT_DOUBLE_EQ(fixed[P::Width], 2000);
    EXPECT_DOUBLE_EQ(after[P::Height], 600);
    EXPECT_DOUBLE_EQ(after[P::FontSize], 18);
}

TEST_F(EngineTest, CaptureShrinksAWindowLargerThanTheWorkArea)
{
    FakeControl &text = host.add("Text1").box(1000, 1000, 2000, 1000);
    host.client = {20000, 12000};
    host.area = MorphelSize{15120, 10500};
    start();
    EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "window"), 1);
    EXPECT_DOUBLE_EQ(host.client.width, 15000);
    EXPECT_DOUBLE_EQ(host.client.height, 10000);
    EXPECT_DOUBLE_EQ(text[P::Left], 2500);    // 1000 * 15000 / 6000
    EXPECT_DOUBLE_EQ(text[P::Top], 2500);     // 1000 * 10000 / 4000

    // Without a work area the window's own size is the limit: nothing to shrink.
    FakeHost other;
    other.area.reset();
    other.client = {20000, 12000};
    MorphelEngine second;
    second.setContainerSize(6000, 4000);
    second.capture(other);
    EXPECT_EQ(std::count(other.log.begin(), other.log.end(), "window"), 0);
}

} // namespace
