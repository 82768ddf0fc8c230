#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// Every message box, confirmation, folder choice, file choice and modal child window goes through here.
// The program installs the Qt implementation; tests install a scripted one that answers in order.
class Dialogs
{
public:
    enum class Icon { None, Information, Question, Warning, Critical };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
    enum class Answer { Ok, Cancel, Yes, No, Retry };

    virtual ~Dialogs() = default;

    virtual Answer message(const QString &title, const QString &text, Icon icon,
                           Buttons buttons = Buttons::Ok) = 0;
    // The folder chooser: the chosen path, or empty text when cancelled.
    virtual QString chooseFolder(const QString &prompt) = 0;
    virtual QString openFile(const QString &title, const QString &filter) = 0;
    virtual QString saveFile(const QString &title, const QString &filter) = 0;
    // Shows a window modally; returns its result code (QDialog::Accepted / Rejected for dialogs).
    virtual int showModal(QWidget *window) = 0;

    // The process-wide instance that the windows use.
    static Dialogs &current();
    static void install(Dialogs *dialogs);
};
