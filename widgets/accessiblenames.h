#pragma once

#include <QString>

class QWidget;

// Names the controls of a window for assistive technology as a person reads the window, once its controls
// exist (each window's constructor calls it):
//  - a control with a caption label (the label's buddy) is named by the label's text; Qt 6.4 names only
//    some kinds of control from their buddy, never a list or a grid;
//  - a control whose accessible name is its control name (a design placeholder) loses it, so that a
//    label is read with the value it shows and a button with its caption.
void nameForAssistiveTechnology(QWidget *window);

// A caption as spoken: mnemonics ("&&" is one "&") and a trailing colon removed.
QString spokenCaption(const QString &caption);
