#include "codepage.h"
#include "inifile.h"
#include "session.h"
#include "settingsstore.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/fsuid.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// While one lives, the calling thread opens files with the rights of an account without privileges: root
// reads every file, so a test of an unreadable file takes an ordinary account's file rights (Linux's
// file-system user id, which also drops root's override of file permissions) when it runs as root.
class UnprivilegedFileAccess
{
public:
    UnprivilegedFileAccess()
    {
        if (::geteuid() == 0) {
            ::setfsgid(Nobody);
            ::setfsuid(Nobody);
        }
    }
    ~UnprivilegedFileAccess()
    {
        if (::geteuid() == 0) {
            ::setfsuid(0);
            ::setfsgid(0);
        }
    }
    UnprivilegedFileAccess(const UnprivilegedFileAccess &) = delete;
    UnprivilegedFileAccess &operator=(const UnprivilegedFileAccess &) = delete;
    // An invalid id changes nothing and returns the current one.
    bool active() const { return ::geteuid() != 0 || ::setfsuid(uid_t(-1)) == Nobody; }

private:
    static constexpr uid_t Nobody = 65534;
};

struct SettingsTest : ::testing::Test
{
    QTemporaryDir dir;
    SettingsStore store{dir.path()};
    Session session; // a session apart from the program's one

    Session loaded;

    const Session &roundTrip()
    {
        EXPECT_TRUE(store.Save(session));
        store.Load(loaded);
        return loaded;
    }
};

}

TEST_F(SettingsTest, RoundTripKeepsEveryValueAndPassword)
{
    session.dsn = QStringLiteral("(なし)");
    session.server = QStringLiteral("db.example.com");
    session.user = QStringLiteral("admin");
    session.port = QStringLiteral("3307");
    session.settings.font = QStringLiteral("Noto Sans CJK JP,12");
    session.settings.inoutpath = QStringLiteral("/tmp/in out");
    for (const QString pass : {QStringLiteral("secret"), QStringLiteral("a b!"), QStringLiteral(" #x# "),
                               QString(), QStringLiteral("パス\"word'\\")}) {
        session.pass = pass;
        roundTrip();
        EXPECT_EQ(loaded.pass, pass) << pass.toStdString();
        EXPECT_EQ(loaded.server, session.server);
        EXPECT_EQ(loaded.port, QStringLiteral("3307"));
        EXPECT_EQ(loaded.settings.font, session.settings.font);
        EXPECT_EQ(loaded.settings.inoutpath, session.settings.inoutpath);
    }
    // The password is not stored as typed.
    session.pass = QStringLiteral("abc");
    store.Save(session);
    EXPECT_TRUE(readAll(store.iniPath()).contains("pass=`ab"));
    EXPECT_EQ(IniFile::read(store.iniPath(), "DataBase", "pass", {}, 200), QStringLiteral("`ab"));
}

TEST_F(SettingsTest, ReadRulesCutTrimAndEmptyDefault)
{
    writeFile(store.iniPath(), "[DataBase]\r\nserver=" + QByteArray(250, 'x') + "\r\nuser=   \r\n"
                                   "driver=  My Driver  \r\n[Query]\r\nfont=\r\n");
    loaded.settings.font = QStringLiteral("kept");
    store.Load(loaded);
    EXPECT_EQ(loaded.server.size(), 199);
    EXPECT_EQ(loaded.user, QString());        // blanks only: read as empty text
    EXPECT_EQ(loaded.driver, QStringLiteral("My Driver"));
    EXPECT_EQ(loaded.dsn, QStringLiteral("(なし)")); // missing: default
    EXPECT_EQ(loaded.settings.font, QStringLiteral("kept")); // empty: keeps what it had
    int length = -1;
    EXPECT_EQ(IniFile::read(store.iniPath(), "database", "USER", "d", 200, &length), QString());
    EXPECT_EQ(length, 0);
    EXPECT_EQ(IniFile::read(store.iniPath(), "DataBase", "missing", "d", 200, &length), QStringLiteral("d"));
}

TEST_F(SettingsTest, WritingInPlaceKeepsOtherSectionsKeysCommentsAndLineEnds)
{
    writeFile(store.iniPath(), "; my comment\r\n[Other]\r\nkeep=1\r\n\r\n[DataBase]\r\nserver=old\r\n"
                               "extra=yes\r\n");
    session.server = QStringLiteral("new");
    ASSERT_TRUE(store.Save(session));
    const QByteArray text = readAll(store.iniPath());
    EXPECT_TRUE(text.startsWith("; my comment\r\n[Other]\r\nkeep=1\r\n"));
    EXPECT_TRUE(text.contains("server=new\r\n"));
    EXPECT_TRUE(text.contains("extra=yes\r\n"));
    EXPECT_FALSE(text.contains("server=old"));
    EXPECT_FALSE(text.contains("\n\n")); // no bare LF in a CR LF file
    EXPECT_EQ(text.count("[DataBase]"), 1);
    EXPECT_TRUE(text.contains("[InOut]\r\ninoutpath="));
    EXPECT_EQ(QFile::permissions(store.iniPath()) & (QFile::ReadOther | QFile::ReadGroup), 0);
}

TEST_F(SettingsTest, LinesThatAreNotTheProgramsGoBackByteForByte)
{
    // A section of another tool in Shift-JIS (not UTF-8), a Latin-1 comment, mixed line endings, a key the
    // program does not know in its own section, and no line end at the end of the file.
    const QByteArray foreign = "[\x83\x63\x81\x5b\x83\x8b]\r\nname=\x93\xfa\x96\x7b\xcc\r\n"
                               "; caf\xe9\n";
    const QByteArray own = "[DataBase]\nserver=old\nnewkey=\xff\xfe kept";
    writeFile(store.iniPath(), foreign + own);
    session.server = QStringLiteral("new");
    ASSERT_TRUE(store.Save(session));
    const QByteArray text = readAll(store.iniPath());
    EXPECT_TRUE(text.startsWith(foreign + "[DataBase]\nserver=new\nnewkey=\xff\xfe kept\r\n"))
        << text.toStdString();
    EXPECT_EQ(text.count("server="), 1);
}

TEST_F(SettingsTest, BrokenFilesYieldDefaultsAndNothingIsLost)
{
    QByteArray junk;
    for (int i = 0; i < 5000; ++i)
        junk.append(char(i * 7919 % 256));
    writeFile(store.iniPath(), junk);
    writeFile(store.variablesPath(), junk.left(100));
    store.Load(loaded); // must not crash
    EXPECT_EQ(loaded.dsn, QStringLiteral("(なし)"));
    EXPECT_EQ(loaded.driver, QStringLiteral("MySQL ODBC 3.51 Driver"));

    // An unreadable file is neither read nor replaced, in a folder where a new file could take its place.
    writeFile(store.iniPath(), "[DataBase]\nserver=precious\n");
    QFile::setPermissions(store.iniPath(), QFileDevice::WriteOwner);
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                          | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);
    {
        UnprivilegedFileAccess unprivileged;
        ASSERT_TRUE(unprivileged.active());
        ASSERT_FALSE(QFile(store.iniPath()).open(QIODevice::ReadOnly));
        writeFile(dir.filePath(QStringLiteral("probe")), "the folder takes new files");
        Session unread;
        store.Load(unread);
        EXPECT_NE(unread.server, QStringLiteral("precious"));
        EXPECT_FALSE(store.Save(session));
    }
    QFile::setPermissions(store.iniPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(readAll(store.iniPath()), QByteArray("[DataBase]\nserver=precious\n"));
    // A folder that cannot be written: the save fails and says so.
    SettingsStore nowhere(dir.path() + QStringLiteral("/missing/folder"));
    EXPECT_FALSE(nowhere.Save(session));
}

TEST_F(SettingsTest, VariableNamesLoseAtSignsAndSplitAtCommas)
{
    session.variables = {{QStringLiteral("@a")}, {QStringLiteral("b@c")}, {QStringLiteral("x,y")},
                         {QStringLiteral("変数")}};
    roundTrip();
    QStringList names;
    for (const auto &v : loaded.variables)
        names << v.strVariableName;
    EXPECT_EQ(names, (QStringList{"a", "bc", "x", "y", "変数"}));
    writeFile(store.variablesPath(), "\"q,uoted\",plain\r\n\r\n@z\r\n");
    Session again;
    store.Load(again);
    ASSERT_EQ(again.variables.size(), 3u);
    EXPECT_EQ(again.variables[0].strVariableName, QStringLiteral("q,uoted"));
    EXPECT_EQ(again.variables[2].strVariableName, QStringLiteral("z"));
}

TEST_F(SettingsTest, ShiftJisFilesUnderAShiftJisCodePage)
{
    CodePage::setOverride("SHIFT_JIS");
    session.server = QStringLiteral("サーバー");
    session.pass = QStringLiteral("ab");
    session.variables = {{QStringLiteral("日本語")}};
    ASSERT_TRUE(store.Save(session));
    const QByteArray raw = readAll(store.iniPath());
    EXPECT_TRUE(raw.contains(QByteArray("\x83\x54\x81\x5b\x83\x6f\x81\x5b"))); // サーバー in Shift-JIS
    EXPECT_EQ(readAll(store.variablesPath()), QByteArray("\x93\xfa\x96\x7b\x8c\xea\n"));
    store.Load(loaded);
    CodePage::setOverride({});
    EXPECT_EQ(loaded.server, QStringLiteral("サーバー"));
    EXPECT_EQ(loaded.pass, QStringLiteral("ab"));
    ASSERT_EQ(loaded.variables.size(), 1u);
    EXPECT_EQ(loaded.variables[0].strVariableName, QStringLiteral("日本語"));
}
