#include "mainwindow/frmtablora.h"
#include "morphel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

// The main window carries the resize control: making the window larger rescales its controls in
// proportion, except that the lists and grids named in its NoResize list never grow beyond their design.
TEST(MainWindowResize, ControlsRescaleWithTheWindow)
{
    QTemporaryDir settings;
    frmTablora window(settings.path());
    auto *morphel = window.findChild<Morphel *>(QStringLiteral("Morphel1"));
    ASSERT_NE(morphel, nullptr);
    EXPECT_TRUE(morphel->noResize().contains(QStringLiteral("flGrid_Data")));
    const QSize designedList = window.ui->lstDb->size();
    window.show();
    QApplication::processEvents();
    const QRect connect = window.ui->cmdConnect->geometry();
    const QRect list = window.ui->lstDb->geometry();
    const QRect tls = window.ui->cboTls->geometry();
    const double font = window.ui->cmdConnect->font().pointSizeF();

    window.resize(window.width() * 3 / 2, window.height() * 3 / 2);
    QApplication::processEvents();
    const QRect bigger = window.ui->cmdConnect->geometry();
    EXPECT_NEAR(bigger.x(), connect.x() * 1.5, 2);
    EXPECT_NEAR(bigger.width(), connect.width() * 1.5, 2);
    EXPECT_NEAR(bigger.height(), connect.height() * 1.5, 2);
    EXPECT_NEAR(window.ui->cboTls->geometry().x(), tls.x() * 1.5, 2);
    EXPECT_NEAR(window.ui->cboTls->geometry().width(), tls.width() * 1.5, 2);
    EXPECT_NEAR(window.ui->cmdConnect->font().pointSizeF(), font * 1.5, 0.6);
    // Listed in NoResize: at the place the window's growth gives it, growing with the window only while the
    // window is smaller than designed (as on the test's small screen), never beyond its designed size.
    EXPECT_NEAR(window.ui->lstDb->width(), std::min(designedList.width(), qRound(list.width() * 1.5)), 2);
    EXPECT_LE(window.ui->lstDb->height(), designedList.height());
    EXPECT_NEAR(window.ui->lstDb->y(), list.y() * 1.5, 2);

    window.resize(window.width() * 2 / 3, window.height() * 2 / 3);
    QApplication::processEvents();
    EXPECT_NEAR(window.ui->cmdConnect->geometry().x(), connect.x(), 2);
    EXPECT_NEAR(window.ui->cmdConnect->geometry().width(), connect.width(), 2);
}
