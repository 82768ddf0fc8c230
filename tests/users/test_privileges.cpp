#include "privileges.h"

#include <gtest/gtest.h>

using namespace UserPrivileges;

TEST(KeywordList, JoinsInOrderCutsTheLastCommaAndEndsTheLine)
{
    EXPECT_EQ(keywordList({"SELECT,", "INSERT,"}), QStringLiteral("SELECT,INSERT\r\n"));
    EXPECT_EQ(keywordList({"SHOW DATABASES,"}), QStringLiteral("SHOW DATABASES\r\n"));
    EXPECT_FALSE(keywordList({}).has_value());
    EXPECT_FALSE(keywordList({""}).has_value());
    EXPECT_EQ(keywordListOrUsage({}), QStringLiteral("USAGE"));
    EXPECT_EQ(keywordListOrUsage({"ALTER,"}), QStringLiteral("ALTER\r\n"));
    EXPECT_THROW(requireKeywordList({}), EmptyPrivilegeList);
}

TEST(KeywordList, ModelTablesMatchTheirBoxes)
{
    EXPECT_STREQ(globalPrivileges[GlobalGrantBox].column, "Grant_priv");
    EXPECT_STREQ(globalPrivileges[GlobalGrantBox].keyword, "");
    EXPECT_STREQ(globalPrivileges[14].keyword, "SHOW DATABASES,");
    EXPECT_STREQ(globalPrivileges[25].column, "Create_user_priv");
    EXPECT_STREQ(databasePrivileges[6].keyword, "GRANT OPTION,");
    EXPECT_STREQ(databasePrivileges[16].column, "Execute_priv");
    // Every keyword but the global GRANT box ends in its comma.
    for (const auto &p : globalPrivileges)
        if (*p.keyword)
            EXPECT_TRUE(QString::fromLatin1(p.keyword).endsWith(QLatin1Char(','))) << p.caption;
}

TEST(AccountTail, UserInApostrophesHostInDoubleQuotes)
{
    EXPECT_EQ(QStringLiteral("TO '") + accountTail("bob", "%"), QStringLiteral("TO 'bob'@\"%\""));
}

TEST(TablePriv, WholeWordsOnlyAndOtherWordsKept)
{
    const QString set = QStringLiteral("Select,Update,Alter,Grant,Show view,Delete versioning rows");
    EXPECT_TRUE(hasTablePrivWord(set, "Select"));
    EXPECT_FALSE(hasTablePrivWord(set, "Insert"));
    EXPECT_TRUE(hasTablePrivWord(set, "Update"));
    // "Delete versioning rows" is another privilege than "Delete".
    EXPECT_FALSE(hasTablePrivWord(set, "Delete"));
    EXPECT_EQ(otherTableKeywords(set),
              (QStringList{"ALTER,", "GRANT OPTION,", "SHOW VIEW,", "DELETE HISTORY,"}));
    EXPECT_TRUE(otherTableKeywords(QStringLiteral("Select,Insert,Update,Delete")).isEmpty());
    EXPECT_TRUE(otherTableKeywords(QString()).isEmpty());
}

TEST(ServerRefusals, DecidedOnTheErrorNumber)
{
    const QString mysql8 =
        QStringLiteral("You have an error in your SQL syntax; check the manual that corresponds "
                       "to your MySQL server version for the right syntax to use near "
                       "'IDENTIFIED BY 'x'' at line 3");
    EXPECT_TRUE(refusesIdentifiedBy(1064, mysql8));
    EXPECT_FALSE(refusesIdentifiedBy(1064, QStringLiteral("near 'SELEC' at line 1")));
    // A keyword the server does not know fails before IDENTIFIED, whose text the message still quotes.
    EXPECT_FALSE(refusesIdentifiedBy(
        1064,
        QStringLiteral("near 'CREATE VIEW\r\n   ON *.*   TO 'u'@\"%\"   IDENTIFIED BY 'x'' at line 1")));
    EXPECT_FALSE(refusesIdentifiedBy(1045, mysql8));
    EXPECT_TRUE(refusesAccountCreation(1064, mysql8));
    EXPECT_TRUE(
        refusesAccountCreation(1410, QStringLiteral("You are not allowed to create a user with GRANT")));
    EXPECT_TRUE(
        refusesAccountCreation(1133, QStringLiteral("Can't find any matching row in the user table")));
    EXPECT_FALSE(refusesAccountCreation(1045, QStringLiteral("Access denied")));
    EXPECT_FALSE(refusesAccountCreation(1064, QStringLiteral("near 'SELEC' at line 1")));
    EXPECT_TRUE(refusesUserTableDelete(1288));
    EXPECT_FALSE(refusesUserTableDelete(1142));
}

TEST(ShowGrants, TargetsReadInEitherQuotingAndOnlyTheirOwn)
{
    const QStringList lines = {
        "GRANT USAGE ON *.* TO `u`@`%`",
        "GRANT SELECT, EVENT ON \"a\"\"b.c\".* TO \"u\"@\"%\"",
        "GRANT INSERT (`x ON y`), TRIGGER ON `a\"b.c`.`t` TO `u`@`%`",
        "GRANT EXECUTE ON FUNCTION `a\"b.c`.`f` TO `u`@`%`",
        "GRANT DELETE HISTORY ON `a\"b.c`.* TO `u`@`%`",
    };
    EXPECT_EQ(grantedPrivileges(lines, grantsDatabase("a\"b.c")),
              (QStringList{"SELECT", "EVENT", "DELETE HISTORY"}));
    EXPECT_EQ(grantedPrivileges(lines, "*.*"), QStringList{"USAGE"});
    EXPECT_EQ(otherKeywords({"SELECT", "BINLOG MONITOR", "EVENT"}, {"SELECT,", "REPLICATION CLIENT,"}),
              QStringList{"EVENT,"});
}
