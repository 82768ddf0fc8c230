#pragma once

#include <QStringList>

class QWidget;

// The named controls of a window that assistive technology could not name: neither a caption, nor a buddy
// label, nor an accessible name.
QStringList unnamedControls(QWidget *window);
