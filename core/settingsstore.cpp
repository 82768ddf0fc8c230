#include "settingsstore.h"

#include "codepage.h"
#include "inifile.h"
#include "session.h"
#include "tls.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

struct Key
{
    const char *section;
    const char *key;
    QString Session::*field = nullptr;
    QString WindowSettings::*setting = nullptr;
};

// The keys in the order in which they are read and written.
const Key keys[] = {
    {"DataBase", "dsn", &Session::dsn},
    {"DataBase", "driver", &Session::driver},
    {"DataBase", "server", &Session::server},
    {"DataBase", "user", &Session::user},
    {"DataBase", "pass", &Session::pass},
    {"DataBase", "port", &Session::port},
    {"DataBase", "tls"},   // TLS mode: none, preferred, required, verify (missing: preferred)
    {"DataBase", "tlsca"}, // CA file for verifying the server (empty: the system's CA store)
    {"Query", "memo", nullptr, &WindowSettings::memo},
    {"Query", "memo1", nullptr, &WindowSettings::memo1},
    {"Query", "memo2", nullptr, &WindowSettings::memo2},
    {"Query", "font", nullptr, &WindowSettings::font},
    {"Query", "texte", nullptr, &WindowSettings::texte},
    {"Query", "textpath", nullptr, &WindowSettings::textpath},
    {"Query", "delimiter", nullptr, &WindowSettings::delimiter},
    {"InOut", "inoutpath", nullptr, &WindowSettings::inoutpath},
};

bool isPass(const Key &k)
{
    return k.field == &Session::pass;
}

bool isKey(const Key &k, const char *name)
{
    return qstrcmp(k.key, name) == 0;
}

// One character moved by delta in the system code page: by code point on a UTF-8 system, else by the
// character's one- or two-byte code in the code page.
QString shift(const QString &text, int delta)
{
    QString out;
    if (CodePage::isUtf8()) {
        for (const char32_t c : text.toUcs4()) {
            const char32_t moved = char32_t(int(c) + delta);
            out += QString::fromUcs4(&moved, 1);
        }
        return out;
    }
    for (const char32_t c : text.toUcs4()) {
        const QByteArray bytes = CodePage::fromUnicode(QString::fromUcs4(&c, 1));
        int code = 0;
        for (const char b : bytes)
            code = (code << 8) | uchar(b);
        code += delta;
        QByteArray movedBytes;
        if (bytes.size() >= 2)
            movedBytes.append(char((code >> 8) & 0xFF));
        movedBytes.append(char(code & 0xFF));
        out += CodePage::toUnicode(movedBytes);
    }
    return out;
}

}

SettingsStore::SettingsStore(const QString &folder) : m_folder(folder.isEmpty() ? defaultFolder() : folder) {}

QString SettingsStore::defaultFolder()
{
    if (QCoreApplication::instance()) {
        const QString programFolder = QCoreApplication::applicationDirPath();
        if (QFileInfo(programFolder).isWritable())
            return programFolder;
    }
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    const QString folder = config + QStringLiteral("/Tablora");
    QDir().mkpath(folder);
    return folder;
}

QString SettingsStore::iniPath() const
{
    return m_folder + QStringLiteral("/Tablora.ini");
}

QString SettingsStore::variablesPath() const
{
    return m_folder + QStringLiteral("/variable.dat");
}

QString SettingsStore::shiftDown(const QString &text)
{
    return shift(text, -1);
}

QString SettingsStore::shiftUp(const QString &text)
{
    return shift(text, +1);
}

void SettingsStore::Load(Session &session) const
{
    session.dsn = QStringLiteral("(なし)");
    session.driver = QStringLiteral("MySQL ODBC 3.51 Driver");
    session.server.clear();
    session.user.clear();
    session.database.clear();
    session.pass.clear();
    session.tls = TlsMode::Preferred;
    session.tlsCa.clear();
    for (const Key &k : keys) {
        int length = 0;
        const QString value = IniFile::read(iniPath(), QLatin1String(k.section), QLatin1String(k.key),
                                            QString(), 200, &length);
        if (length == 0)
            continue;
        // The password is not trimmed again: its stored form may end in a blank that is part of it
        // (a "!" is stored as a blank), and the file reader has trimmed what lies outside its quotes.
        QString text = isPass(k) ? shiftUp(value) : value.trimmed();
        if (isKey(k, "tls"))
            session.tls = Tls::fromSettingText(text);
        else if (isKey(k, "tlsca"))
            session.tlsCa = text;
        else if (k.field)
            session.*k.field = text;
        else
            session.settings.*k.setting = text;
    }

    session.variables.clear();
    QFile file(variablesPath());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QString text = CodePage::toUnicode(file.read(16 * 1024 * 1024));
    // Fields end at a comma or a line end; a field in double quotes may hold commas.
    for (const QString &rawLine : text.split(QLatin1Char('\n'))) {
        QString line = rawLine;
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        int i = 0;
        while (i <= line.size()) {
            while (i < line.size() && line.at(i) == QLatin1Char(' '))
                ++i;
            QString field;
            if (i < line.size() && line.at(i) == QLatin1Char('"')) {
                const int close = line.indexOf(QLatin1Char('"'), i + 1);
                field = line.mid(i + 1, close < 0 ? -1 : close - i - 1);
                i = close < 0 ? int(line.size()) : close + 1;
                const int comma = line.indexOf(QLatin1Char(','), i);
                i = comma < 0 ? int(line.size()) + 1 : comma + 1;
            } else {
                const int comma = line.indexOf(QLatin1Char(','), i);
                field = line.mid(i, comma < 0 ? -1 : comma - i).trimmed();
                i = comma < 0 ? int(line.size()) + 1 : comma + 1;
            }
            field.remove(QLatin1Char('@'));
            session.variables.push_back({field});
        }
    }
}

bool SettingsStore::Save(const Session &session) const
{
    QList<IniFile::Entry> entries;
    for (const Key &k : keys) {
        QString value = isKey(k, "tls")     ? Tls::settingText(session.tls)
                        : isKey(k, "tlsca") ? session.tlsCa
                        : k.field           ? session.*k.field
                                            : session.settings.*k.setting;
        if (isPass(k))
            value = shiftDown(value);
        entries.append({QLatin1String(k.section), QLatin1String(k.key), value});
    }
    bool ok = IniFile::writeAll(iniPath(), entries);

    QSaveFile file(variablesPath());
    if (file.open(QIODevice::WriteOnly)) {
        QString text;
        for (const variablename &v : session.variables) {
            QString name = v.strVariableName;
            text += name.remove(QLatin1Char('@')) + QLatin1Char('\n');
        }
        file.write(CodePage::fromUnicode(text));
        ok = file.commit() && ok;
    } else
        ok = false;
    return ok;
}
