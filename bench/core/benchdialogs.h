#pragma once

#include "dialogs.h"

#include <QElapsedTimer>
#include <QStringList>

// The benchmarks' dialogs service: every message box is answered OK and its text kept, with the time the
// first one was shown (on clock, once started); folder and file choices are cancelled, modal windows
// closed at once. Installed with Dialogs::install.
class BenchDialogs : public Dialogs
{
public:
    QStringList messages;
    QElapsedTimer clock;
    qint64 firstShownNs = -1;

    Answer message(const QString &, const QString &text, Icon, Buttons) override
    {
        messages << text;
        if (firstShownNs < 0 && clock.isValid())
            firstShownNs = clock.nsecsElapsed();
        return Answer::Ok;
    }
    QString chooseFolder(const QString &) override { return {}; }
    QString openFile(const QString &, const QString &) override { return {}; }
    QString saveFile(const QString &, const QString &) override { return {}; }
    int showModal(QWidget *) override { return 0; }
};
