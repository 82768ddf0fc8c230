#include "about/frmabout.h"

#include <gtest/gtest.h>

TEST(frmAbout, VersionIsMajorDotMinorWithoutRevision)
{
    EXPECT_EQ(frmAbout::VersionText(1, 12), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 1.12"));
    EXPECT_EQ(frmAbout::VersionText(1, 0), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 1.0"));
    EXPECT_EQ(frmAbout::VersionText(2, 5), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 2.5"));
}

TEST(frmAbout, ShowsTheProjectsVersionAndClosesWithOk)
{
    frmAbout about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("Tablora のﾊﾞｰｼﾞｮﾝ情報"));
    EXPECT_EQ(about.ui->lblTitle->text(), QStringLiteral("Tablora"));
    EXPECT_EQ(about.ui->lblVersion->text(), frmAbout::VersionText(EXPECTED_MAJOR, EXPECTED_MINOR));
    EXPECT_EQ(about.ui->lblDescription->text(), QStringLiteral("開発者向け MySQL管理ソフト"));
    EXPECT_FALSE(about.ui->lblDisclaimer->text().isEmpty());
    EXPECT_EQ(about.ui->cmdOK->text(), QStringLiteral("OK"));
    about.show();
    about.ui->cmdOK->click();
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

// Saves a picture of the box to look at: TABLORA_SCREENSHOT=out.png.
TEST(frmAbout, Screenshot)
{
    const QString path = qEnvironmentVariable("TABLORA_SCREENSHOT");
    if (path.isEmpty())
        GTEST_SKIP() << "set TABLORA_SCREENSHOT to a file name";
    frmAbout about;
    about.show();
    EXPECT_TRUE(about.grab().save(path));
}
