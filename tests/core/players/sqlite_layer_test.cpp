// The SQLite layer: values in and out unchanged, transactions that undo, failures as values.

#include "core/players/SqliteDatabase.h"

#include <gtest/gtest.h>

namespace {

TEST(SqliteLayer, ValuesComeBackAsBoundAndFailuresAreValues) {
    CSqliteDatabase db;
    ASSERT_TRUE(db.Open(":memory:", SQLITE_OPEN_READWRITE).Ok());
    ASSERT_TRUE(db.Exec("CREATE TABLE t(b BLOB, s TEXT, n INTEGER)").Ok());
    CSqliteStatement insert = db.Prepare("INSERT INTO t VALUES(?1, ?2, ?3)");
    const std::string bytes("\0\xff'; --\x80", 7);
    insert.BindBlob(1, bytes).BindText(2, "caf\xc3\xa9").Bind(3, std::optional<std::int64_t>());
    ASSERT_EQ(insert.Run(), SQLITE_DONE);
    insert.BindBlob(1, "").BindText(2, "").Bind(3, INT64_MIN);
    ASSERT_EQ(insert.Run(), SQLITE_DONE);

    CSqliteStatement select = db.Prepare("SELECT b, s, n, typeof(b) FROM t ORDER BY rowid");
    ASSERT_EQ(select.Step(), SQLITE_ROW);
    EXPECT_EQ(select.Blob(0), bytes);
    EXPECT_EQ(select.Text(1), "caf\xc3\xa9");
    EXPECT_EQ(select.OptionalInt(2), std::nullopt);
    ASSERT_EQ(select.Step(), SQLITE_ROW);
    EXPECT_EQ(select.Text(3), "blob"); // an empty blob stays a blob, not NULL
    EXPECT_EQ(select.Int(2), INT64_MIN);
    EXPECT_EQ(select.Step(), SQLITE_DONE);

    SqlStatus failure;
    EXPECT_FALSE(db.Prepare("SELECT nonsense FROM nowhere", &failure).Valid());
    EXPECT_EQ(failure.Primary(), SQLITE_ERROR);
    EXPECT_NE(failure.message.find("nowhere"), std::string::npos);
    EXPECT_FALSE(db.Exec("INSERT INTO nowhere VALUES(1)").Ok());
    CSqliteDatabase closed;
    EXPECT_EQ(closed.Exec("SELECT 1").code, SQLITE_MISUSE);
    EXPECT_FALSE(closed.Open("/nonexistent/folder/x.sqlite", SQLITE_OPEN_READWRITE).Ok());
}

TEST(SqliteLayer, ATransactionNotCommittedIsUndone) {
    CSqliteDatabase db;
    ASSERT_TRUE(db.Open(":memory:", SQLITE_OPEN_READWRITE).Ok());
    ASSERT_TRUE(db.Exec("CREATE TABLE t(x)").Ok());
    for (const bool commit : {false, true}) {
        CSqliteTransaction transaction(db);
        ASSERT_TRUE(transaction.Begin().Ok());
        ASSERT_TRUE(db.Exec("INSERT INTO t VALUES(1)").Ok());
        if (commit) {
            ASSERT_TRUE(transaction.Commit().Ok());
        }
    }
    EXPECT_EQ(db.QueryInt("SELECT count(*) FROM t"), 1);
}

} // namespace
