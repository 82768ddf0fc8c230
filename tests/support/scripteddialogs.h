#pragma once

#include "dialogs.h"

#include <QList>
#include <QString>
#include <deque>
#include <functional>

// The dialogs service for tests: every dialog the program shows is recorded, and answered from a script
// set up beforehand, in order. A dialog that the script does not expect fails the test, and so does a
// scripted answer left unused when the double is destroyed.
class ScriptedDialogs : public Dialogs
{
public:
    enum class Kind { Message, Folder, OpenFile, SaveFile, Modal };

    struct Shown
    {
        Kind kind;
        QString title;
        QString text;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
    };

    ScriptedDialogs();  // installs itself as the current dialogs service
    ~ScriptedDialogs() override;

    // Script: answers in the order the dialogs are expected.
    ScriptedDialogs &answer(Answer answer);                       // next message box
    ScriptedDialogs &folder(const QString &path);                 // next folder choice ("" = cancel)
    ScriptedDialogs &openFile(const QString &path);
    ScriptedDialogs &saveFile(const QString &path);
    ScriptedDialogs &modal(std::function<int(QWidget *)> handler); // next modal window: drive it, return code

    QList<Shown> shown;
    // The texts of the message boxes shown, in order.
    QStringList messages() const;
    int pending() const { return int(m_script.size()); }

    Answer message(const QString &title, const QString &text, Icon icon, Buttons buttons) override;
    QString chooseFolder(const QString &prompt) override;
    QString openFile(const QString &title, const QString &filter) override;
    QString saveFile(const QString &title, const QString &filter) override;
    int showModal(QWidget *window) override;

private:
    struct Step
    {
        Kind kind;
        Answer answer = Answer::Ok;
        QString path;
        std::function<int(QWidget *)> handler;
    };
    bool take(Kind kind, Step *step, const QString &what);

    std::deque<Step> m_script;
};
