#pragma once

#include <QString>

class Session;

// Tablora.ini and variable.dat. Read once when the main window loads and written once when it unloads;
// in between every window works on the values in the session.
class SettingsStore
{
public:
    // folder: where the two files live; empty means the default location (defaultFolder()).
    explicit SettingsStore(const QString &folder = QString());

    // The program's folder when it is writable, else the per-user configuration folder.
    static QString defaultFolder();

    QString iniPath() const;
    QString variablesPath() const;

    // Never throws and never shows a message: a missing or broken file leaves the defaults.
    void Load(Session &session) const;
    // Writes a new file and then replaces the old one, so a failing save loses nothing on disk.
    // Returns false when a file could not be written.
    bool Save(const Session &session) const;

    // Password shifting as stored: each character one code lower on save, one higher on load.
    static QString shiftDown(const QString &text);
    static QString shiftUp(const QString &text);

private:
    QString m_folder;
};
