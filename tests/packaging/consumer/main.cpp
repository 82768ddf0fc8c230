// Hosts an installed Morphel on a window: the control hooks the window it sits on.
#include <morphel.h>

#include <QApplication>
#include <QPushButton>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(300, 200);
    auto *button = new QPushButton(QStringLiteral("OK"), &window);
    button->setGeometry(30, 20, 100, 40);
    auto *morphel = new Morphel(&window);
    morphel->setObjectName(QStringLiteral("Morphel1"));
    window.show();
    QApplication::processEvents();
    window.resize(600, 400);
    std::printf("%s working=%d\n", qPrintable(Morphel::aboutText()), morphel->isWorking());
    return morphel->isWorking() ? 0 : 1;
}
