#pragma once

#include <QStringList>

class QWidget;

// The named controls of a window that assistive technology could not name as a person reads them:
// a control read with its control name (an accessible name equal to it), a list or grid without an
// accessible name (the buddy relation does not name one), any other control without caption, buddy label
// or accessible name. A label is read with the text it shows, so an empty one is fine; plain containers
// and the invisible resize control need no name.
QStringList unnamedControls(QWidget *window);
