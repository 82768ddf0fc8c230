#pragma once

#include "core/dialogs.h"

class QWidget;

// The dialogs service with real Qt dialogs: message boxes with the given title, icon and buttons, the
// folder chooser with its prompt shown, file dialogs, and modal child windows.
class QtDialogs : public Dialogs
{
public:
    // parent: the window over which the dialogs appear (may be null).
    explicit QtDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

    Answer message(const QString &title, const QString &text, Icon icon,
                   Buttons buttons = Buttons::Ok) override;
    QString chooseFolder(const QString &prompt) override;
    QString openFile(const QString &title, const QString &filter) override;
    QString saveFile(const QString &title, const QString &filter) override;
    int showModal(QWidget *window) override;

private:
    QWidget *parentWidget() const;
    QWidget *m_parent;
};
