#include "widgets/qtdialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

namespace {

// Runs check on the modal window once it is up, from the event loop that the dialog runs.
void whenModal(std::function<void(QWidget *)> check)
{
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [check, poll] {
        if (QWidget *modal = QApplication::activeModalWidget())
            check(modal);
        else
            QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
}

}

TEST(QtDialogs, MessageBoxCarriesTitleIconAndButtons)
{
    QtDialogs dialogs;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    whenModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->standardButtons();
        box->button(QMessageBox::Cancel)->click();
    });
    const auto answer = dialogs.message(QStringLiteral("Tablora"), QStringLiteral("接続失敗"),
                                        Dialogs::Icon::Critical, Dialogs::Buttons::OkCancel);
    EXPECT_EQ(answer, Dialogs::Answer::Cancel);
    EXPECT_EQ(title, QStringLiteral("Tablora"));
    EXPECT_EQ(text, QStringLiteral("接続失敗"));
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(buttons, QMessageBox::Ok | QMessageBox::Cancel);

    whenModal([](QWidget *modal) { qobject_cast<QMessageBox *>(modal)->button(QMessageBox::Yes)->click(); });
    EXPECT_EQ(dialogs.message(QStringLiteral("t"), QStringLiteral("?"), Dialogs::Icon::Information,
                              Dialogs::Buttons::YesNo),
              Dialogs::Answer::Yes);
}

TEST(QtDialogs, FolderChooserShowsItsPrompt)
{
    QtDialogs dialogs;
    QString caption;
    whenModal([&](QWidget *modal) {
        caption = modal->windowTitle();
        qobject_cast<QDialog *>(modal)->reject();
    });
    EXPECT_EQ(dialogs.chooseFolder(QStringLiteral("ﾊﾞｯｸｱｯﾌﾟ先を選択して下さい")), QString());
    EXPECT_EQ(caption, QStringLiteral("ﾊﾞｯｸｱｯﾌﾟ先を選択して下さい"));
}

TEST(QtDialogs, ShowModalRunsDialogsAndPlainWindows)
{
    QtDialogs dialogs;
    QDialog dialog;
    whenModal([](QWidget *modal) { qobject_cast<QDialog *>(modal)->accept(); });
    EXPECT_EQ(dialogs.showModal(&dialog), QDialog::Accepted);

    QWidget window;
    bool wasModal = false;
    whenModal([&](QWidget *modal) {
        wasModal = modal == &window;
        modal->close();
    });
    dialogs.showModal(&window);
    EXPECT_TRUE(wasModal);
    EXPECT_FALSE(window.isVisible());
}
