#include "scripteddialogs.h"

#include <gtest/gtest.h>

namespace {

const char *kindName(ScriptedDialogs::Kind kind)
{
    switch (kind) {
    case ScriptedDialogs::Kind::Message: return "message box";
    case ScriptedDialogs::Kind::Folder: return "folder choice";
    case ScriptedDialogs::Kind::OpenFile: return "open-file choice";
    case ScriptedDialogs::Kind::SaveFile: return "save-file choice";
    case ScriptedDialogs::Kind::Modal: return "modal window";
    }
    return "dialog";
}

}

ScriptedDialogs::ScriptedDialogs()
{
    Dialogs::install(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    if (!m_script.empty())
        ADD_FAILURE() << m_script.size() << " scripted dialog answer(s) left unused, the next being a "
                      << kindName(m_script.front().kind);
    Dialogs::install(nullptr);
}

ScriptedDialogs &ScriptedDialogs::answer(Answer answer)
{
    m_script.push_back({Kind::Message, answer, {}, {}});
    return *this;
}

ScriptedDialogs &ScriptedDialogs::folder(const QString &path)
{
    m_script.push_back({Kind::Folder, Answer::Ok, path, {}});
    return *this;
}

ScriptedDialogs &ScriptedDialogs::openFile(const QString &path)
{
    m_script.push_back({Kind::OpenFile, Answer::Ok, path, {}});
    return *this;
}

ScriptedDialogs &ScriptedDialogs::saveFile(const QString &path)
{
    m_script.push_back({Kind::SaveFile, Answer::Ok, path, {}});
    return *this;
}

ScriptedDialogs &ScriptedDialogs::modal(std::function<int(QWidget *)> handler)
{
    m_script.push_back({Kind::Modal, Answer::Ok, {}, std::move(handler)});
    return *this;
}

QStringList ScriptedDialogs::messages() const
{
    QStringList texts;
    for (const Shown &s : shown)
        if (s.kind == Kind::Message)
            texts << s.text;
    return texts;
}

bool ScriptedDialogs::take(Kind kind, Step *step, const QString &what)
{
    if (m_script.empty() || m_script.front().kind != kind) {
        ADD_FAILURE() << "unexpected " << kindName(kind) << ": " << what.toStdString()
                      << (m_script.empty() ? std::string(" (script empty)")
                                           : std::string(" (script expects a ")
                                                 + kindName(m_script.front().kind) + ")");
        return false;
    }
    *step = std::move(m_script.front());
    m_script.pop_front();
    return true;
}

Dialogs::Answer ScriptedDialogs::message(const QString &title, const QString &text, Icon icon, Buttons buttons)
{
    shown.append({Kind::Message, title, text, icon, buttons});
    Step step;
    if (!take(Kind::Message, &step, text))
        return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
    return step.answer;
}

QString ScriptedDialogs::chooseFolder(const QString &prompt)
{
    shown.append({Kind::Folder, {}, prompt});
    Step step;
    return take(Kind::Folder, &step, prompt) ? step.path : QString();
}

QString ScriptedDialogs::openFile(const QString &title, const QString &filter)
{
    shown.append({Kind::OpenFile, title, filter});
    Step step;
    return take(Kind::OpenFile, &step, title) ? step.path : QString();
}

QString ScriptedDialogs::saveFile(const QString &title, const QString &filter)
{
    shown.append({Kind::SaveFile, title, filter});
    Step step;
    return take(Kind::SaveFile, &step, title) ? step.path : QString();
}

int ScriptedDialogs::showModal(QWidget *window)
{
    shown.append({Kind::Modal, {}, {}});
    Step step;
    if (!take(Kind::Modal, &step, QStringLiteral("modal window")))
        return 0;
    return step.handler ? step.handler(window) : 0;
}
