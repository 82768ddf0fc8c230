// A link that stops passing anything: the query window's stop, its close and the main window's disconnect
// still come back, with a message, while the run's thread waits for an answer that never comes. And a
// stop whose KILL comes late reaches no later statement.
#include "queryfixture.h"

#include "connection.h"
#include "dberror.h"
#include "frmsql.h"
#include "scripteddialogs.h"
#include "session.h"
#include "statementrecorder.h"
#include "tcprelay.h"
#include "ui_frmsql.h"

#include <QCloseEvent>
#include <QSignalSpy>
#include <QTest>

using Answer = Dialogs::Answer;
using Icon = Dialogs::Icon;

namespace {
const QString Stopped = QStringLiteral("処理を中断しました");
const QString LinkCut = QStringLiteral("サーバーが応答しないため、接続を切りました。接続し直して下さい。");
}

class DeadLinkTest : public QueryWindowTest
{
protected:
    void SetUp() override
    {
        QueryWindowTest::SetUp();
        relay = std::make_unique<TcpRelay>(server.host, server.port.toInt());
        Session &s = Session::instance();
        s.port = QString::number(relay->port());
        ASSERT_TRUE(s.OpenConnection());
        // Through the relay, while it still passes everything.
        ASSERT_EQ(scalarOf(s.db(), QStringLiteral("select 7")), QStringLiteral("7"));
    }
    void TearDown() override
    {
        QueryWindowTest::TearDown();
        Session::instance().CloseConnection();
        relay.reset();
    }
    // A run that waits for the server, then the link goes quiet.
    void startAndDrop()
    {
        startRun(QStringLiteral("select sleep(60)"));
        relay->setDropping(true);
    }

    std::unique_ptr<TcpRelay> relay;
};

TEST_F(DeadLinkTest, StopComesBackAndSaysTheLinkWasCut)
{
    dialogs.answer(Answer::Ok).answer(Answer::Ok);
    startAndDrop();
    window->ui->cmdStop->click();
    waitForEnd();
    EXPECT_EQ(dialogs.messages(), (QStringList{Stopped, LinkCut}));
    EXPECT_EQ(dialogs.shown.value(1).icon, Icon::Critical);
    EXPECT_EQ(window->ui->txtError->text(), LinkCut);
    EXPECT_TRUE(window->ui->cmdExec->isEnabled());
    // The connection can send nothing more, and says so at once instead of waiting.
    EXPECT_THROW(Session::instance().db().Execute(QStringLiteral("select 1")), DbError);
}

TEST_F(DeadLinkTest, ClosingTheWindowComesBack)
{
    dialogs.answer(Answer::Ok).answer(Answer::Ok);
    startAndDrop();
    window->close();
    EXPECT_FALSE(window->isRunning());
    EXPECT_EQ(dialogs.messages(), (QStringList{Stopped, LinkCut}));
}

TEST_F(DeadLinkTest, DisconnectFromTheMainWindowComesBack)
{
    dialogs.answer(Answer::Ok).answer(Answer::Ok);
    startAndDrop();
    // What the main window's cmdClose does.
    EXPECT_TRUE(Session::instance().CloseConnection());
    window->setExecTag(QStringLiteral("False"));
    waitForEnd();
    EXPECT_FALSE(Session::instance().connection);
    EXPECT_EQ(dialogs.messages(), (QStringList{Stopped, LinkCut}));
}

TEST_F(DeadLinkTest, TheStopGoesToTheServerItStopsAndNowhereElse)
{
    // The sibling that carries KILL QUERY reaches exactly the relay's port (no fallback to the socket):
    // with the link alive it is delivered, and the connection stays usable.
    dialogs.answer(Answer::Ok);
    StatementRecorder sent;
    startRun(QStringLiteral("select sleep(60)"));
    window->ui->cmdStop->click();
    waitForEnd();
    EXPECT_EQ(dialogs.messages(), QStringList{Stopped});
    EXPECT_EQ(sent.statements().filter(QStringLiteral("KILL QUERY")).size(), 1);
    EXPECT_FALSE(Session::instance().connection->linkCut());
    EXPECT_EQ(scalarOf(Session::instance().db(), QStringLiteral("select 8")), QStringLiteral("8"));
}

TEST_F(DeadLinkTest, ALateStopNeverReachesTheNextRun)
{
    // The stop's own connection waits at the relay (the address the link is connected to) while the
    // statement ends by itself; the run started right after waits for that stop, and is not killed by it.
    dialogs.answer(Answer::Ok).answer(Answer::Ok);
    const int before = relay->accepted();
    relay->setHolding(true);
    startRun(QStringLiteral("do sleep(0.6)"));
    window->ui->cmdStop->click();
    waitForEnd();
    EXPECT_EQ(dialogs.messages().value(1), Stopped);

    QSignalSpy second(window.get(), &frmSql::runFinished);
    window->ui->txtSql->setPlainText(QStringLiteral("select sleep(1), 'second'"));
    window->ui->cmdExec->click();
    relay->setHolding(false);
    if (second.isEmpty())
        ASSERT_TRUE(second.wait(10000)) << "the run did not end";
    EXPECT_EQ(window->ui->flgrid_Record->TextMatrix(1, 1), QStringLiteral("second"));
    EXPECT_TRUE(window->ui->txtError->text().isEmpty()) << window->ui->txtError->text().toStdString();
    EXPECT_EQ(dialogs.messages().size(), 2);
    EXPECT_EQ(relay->accepted(), before + 1);
    EXPECT_FALSE(Session::instance().connection->linkCut());
}
