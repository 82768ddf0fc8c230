#pragma once

// Every window of the program within the work area of its screen when it is shown: a window whose design
// size is larger than a small screen at its scale factor (a laptop at 150 % or 200 %) is made smaller to
// fit, as the resize control does for the windows that carry one, and moved into the work area.

#include <QObject>

class QWidget;

class ScreenFit : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Fits one window into its screen's work area.
    static void fit(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// Fits every window of the application as it is shown. Call once QApplication exists.
void installScreenFit();
