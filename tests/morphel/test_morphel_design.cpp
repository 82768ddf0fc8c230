// Design time: the design size that follows the form, the property pages, the about box and the
// Designer plugin as Qt Designer loads it.

#include "morphel.h"
#include "morphelpropertypages.h"

#include <QLabel>
#include <QLineEdit>
#include <QPluginLoader>
#include <QSignalSpy>
#include <QTest>

#ifdef MORPHEL_PLUGIN_PATH
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>
#include <QtDesigner/QDesignerFormEditorInterface>
#include <QtDesigner/QDesignerTaskMenuExtension>
#include <QtDesigner/QExtensionManager>

#include <QAction>
#include <QApplication>
#include <QTabWidget>
#include <QTimer>
#endif

#include <gtest/gtest.h>

namespace {

class RecordingMorphel : public Morphel
{
public:
    using Morphel::Morphel;
    QStringList shown;

protected:
    void presentAboutBox(const QString &text) override { shown << text; }
};

TEST(MorphelDesign, ContainerSizeFollowsTheFormAndIsReportedChanged)
{
    QWidget form;
    form.resize(400, 300);
    auto *morphel = new Morphel(&form, Morphel::Mode::Design);
    EXPECT_DOUBLE_EQ(morphel->containerWidth(), 6000);
    EXPECT_DOUBLE_EQ(morphel->containerHeight(), 4500);
    QSignalSpy changed(morphel, &Morphel::propertyChanged);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_TRUE(morphel->isVisible());
    EXPECT_FALSE(morphel->isWorking());

    form.resize(500, 320);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.size() == QSize(500, 320); }, 1000));
    EXPECT_DOUBLE_EQ(morphel->containerWidth(), 7500);
    EXPECT_DOUBLE_EQ(morphel->containerHeight(), 4800);
    QStringList names;
    for (const QList<QVariant> &args : changed)
        names << args.at(0).toString();
    EXPECT_TRUE(names.contains(QStringLiteral("ContainerWidth")));
    EXPECT_TRUE(names.contains(QStringLiteral("ContainerHeight")));
    EXPECT_EQ(morphel->size(), QSize(33, 33));
}

TEST(MorphelDesign, AboutBoxShowsTheVersion)
{
    QWidget form;
    auto *morphel = new RecordingMorphel(&form);
    morphel->ShowAboutBox();
    ASSERT_EQ(morphel->shown.size(), 1);
    EXPECT_EQ(morphel->shown.first().split(QLatin1Char('\n')).first(),
              QStringLiteral("Morphel コントロール Ver.1.1"));
}

TEST(MorphelDesign, PagesReadAndWriteTheFirstSelectedControlOnly)
{
    Morphel first(nullptr, Morphel::Mode::Design);
    Morphel second(nullptr, Morphel::Mode::Design);
    first.setNoResize(QStringLiteral("Text1"));
    second.setNoResize(QStringLiteral("Other"));
    first.setFontNoResize(QStringLiteral("lblA"));

    PropertyPage2 page;
    EXPECT_EQ(page.caption(), QStringLiteral("ﾘｻｲｽﾞ設定"));
    page.selectionChanged({&first, &second});
    EXPECT_EQ(page.text1()->text(), QStringLiteral("Text1"));
    EXPECT_FALSE(page.changed());

    page.text1()->selectAll();
    QTest::keyClicks(page.text1(), QStringLiteral("Text1 0 , @Text2"));
    EXPECT_TRUE(page.changed());
    page.apply();
    EXPECT_FALSE(page.changed());
    EXPECT_EQ(first.noResize(), QStringLiteral("Text1 0 , @Text2"));
    EXPECT_EQ(first.noResizeAt(), QStringLiteral(" @Text2"));
    EXPECT_EQ(second.noResize(), QStringLiteral("Other"));

    // The dialog applies through the writer it is given, page by page.
    QStringList written;
    MorphelPropertyDialog dialog({&first}, [&](QObject *control, const char *property, const QString &v) {
        written << QString::fromLatin1(property) + QLatin1Char('=') + v;
        control->setProperty(property, v);
    });
    EXPECT_EQ(dialog.page1()->text1()->text(), QStringLiteral("lblA"));
    dialog.page1()->text1()->selectAll();
    QTest::keyClicks(dialog.page1()->text1(), QStringLiteral("lblB"));
    dialog.applyChanges();
    EXPECT_EQ(written, QStringList{QStringLiteral("FontNoResize=lblB")});
    EXPECT_EQ(first.fontNoResize(), QStringLiteral("lblB"));
}

TEST(MorphelDesign, PagesCarryTheirHeadingAndHelp)
{
    auto texts = [](QWidget &page) {
        QStringList result;
        for (QLabel *label : page.findChildren<QLabel *>())
            result << label->text();
        return result;
    };
    PropertyPage1 page1;
    PropertyPage2 page2;
    EXPECT_EQ(page1.caption(), QStringLiteral("ﾌｫﾝﾄ設定"));
    const QStringList common = {
        QStringLiteral("例： Text1 , Text2"),
        QStringLiteral("ｺﾝﾄﾛｰﾙ配列の場合は、ｺﾝﾄﾛｰﾙ名 + ｽﾍﾟｰｽ + 要素番号"),
        QStringLiteral("例： Text1 0 , Text1 1"),
        QStringLiteral("ｺﾝﾄﾛｰﾙ配列の全ての要素の場合は、@ + ｺﾝﾄﾛｰﾙ名"),
        QStringLiteral("例： @Text1"),
        QStringLiteral("※大文字・小文字を区別します。"),
    };
    EXPECT_EQ(texts(page1), QStringList({QStringLiteral("ﾌｫﾝﾄのﾘｻｲｽﾞを行わない(FontNoResize)"),
                                         QStringLiteral("ﾌｫﾝﾄのﾘｻｲｽﾞを行わないｺﾝﾄﾛｰﾙ名を、「 , 」で繋げてください。")})
                               + common);
    EXPECT_EQ(texts(page2), QStringList({QStringLiteral("ﾘｻｲｽﾞを行わない(NoResize)"),
                                         QStringLiteral("ﾘｻｲｽﾞを行わないｺﾝﾄﾛｰﾙ名を、「 , 」で繋げてください。")})
                               + common);
    EXPECT_NE(page1.findChild<QLineEdit *>(QStringLiteral("Text1")), nullptr);
}

#ifdef MORPHEL_PLUGIN_PATH
// MORPHEL_PLUGIN_FILE names another copy of the plugin to load, e.g. the one a package installed.
TEST(MorphelDesign, DesignerPluginOffersTheControl)
{
    const QString file = qEnvironmentVariableIsSet("MORPHEL_PLUGIN_FILE")
                             ? qEnvironmentVariable("MORPHEL_PLUGIN_FILE")
                             : QStringLiteral(MORPHEL_PLUGIN_PATH);
    QPluginLoader loader(file);
    QObject *instance = loader.instance();
    ASSERT_NE(instance, nullptr) << loader.errorString().toStdString();
    auto *collection = qobject_cast<QDesignerCustomWidgetCollectionInterface *>(instance);
    ASSERT_NE(collection, nullptr);

    QDesignerCustomWidgetInterface *entry = nullptr;
    for (QDesignerCustomWidgetInterface *widget : collection->customWidgets()) {
        if (widget->name() == QStringLiteral("Morphel"))
            entry = widget;
    }
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->includeFile(), QStringLiteral("morphel.h"));
    EXPECT_TRUE(entry->domXml().contains(QStringLiteral("name=\"Morphel1\"")));

    QWidget form;
    QWidget *created = entry->createWidget(&form);
    auto *morphel = qobject_cast<Morphel *>(created);
    ASSERT_NE(morphel, nullptr);
    EXPECT_EQ(morphel->mode(), Morphel::Mode::Design);
    EXPECT_FALSE(morphel->isWorking());

    // The task menu opens the pages; OK stores the edited list into the control.
    // A bare designer core that only carries the extension manager.
    struct Core : QDesignerFormEditorInterface
    {
        using QDesignerFormEditorInterface::setExtensionManager;
    } core;
    auto *manager = new QExtensionManager(&core);
    core.setExtensionManager(manager);
    entry->initialize(&core);
    auto *menu = qt_extension<QDesignerTaskMenuExtension *>(manager, morphel);
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (QAction *action : menu->taskActions())
        texts << action->text();
    EXPECT_EQ(texts, QStringList({QStringLiteral("ﾌｫﾝﾄ設定..."), QStringLiteral("ﾘｻｲｽﾞ設定..."),
                                  QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報...")}));

    QString currentTab;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<MorphelPropertyDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        currentTab = dialog->findChild<QTabWidget *>()->currentWidget()->objectName();
        QLineEdit *text1 = dialog->page2()->text1();
        QTest::keyClicks(text1, QStringLiteral("cmdOk , @optField"));
        dialog->applyChanges();
        dialog->accept();
    });
    menu->taskActions().at(1)->trigger();
    EXPECT_EQ(currentTab, QStringLiteral("PropertyPage2"));
    EXPECT_EQ(morphel->noResize(), QStringLiteral("cmdOk , @optField"));
    EXPECT_EQ(morphel->noResizeAt(), QStringLiteral(" @optField"));
}
#else
TEST(MorphelDesign, DesignerPluginOffersTheControl)
{
    GTEST_SKIP() << "the Designer plugin is switched off in this build (TABLORA_DESIGNER_PLUGIN=OFF)";
}
#endif

} // namespace
