// Schema upgrades on real files: from every earlier version, and never over a file that is not
// ours to change.

#include "core/players/SchemaMigrations.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/players/PlayerSchema.h"
#include "platform/WholeFile.h"
#include "tests/core/players/PlayerStoreFixture.h"

namespace {

constexpr std::int32_t OWNER = 0x54455354;

// Three versions of a small schema; the third moves data, as real upgrades do.
const std::vector<const char*> STEPS = {
    "CREATE TABLE a(x INTEGER)",
    "ALTER TABLE a ADD COLUMN y TEXT NOT NULL DEFAULT 'added'",
    "CREATE TABLE b(x INTEGER); INSERT INTO b SELECT x FROM a",
};

class SchemaMigrationTest : public PlayerStoreTest {
  protected:
    // A file at `version` of STEPS, with one row where version 1 has a table for it.
    void MakeFileAt(std::size_t version) {
        std::filesystem::remove(path);
        ASSERT_TRUE(MakePrivateDirectories(std::filesystem::path(path).parent_path()));
        ASSERT_TRUE(db.Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE).Ok());
        if (version >= 1) { // version 0 is the empty file
            const std::vector<const char*> older(STEPS.begin(), STEPS.begin() + version);
            ASSERT_TRUE(MigrateSchema(db, OWNER, older).status.Ok());
            ASSERT_TRUE(db.Exec("INSERT INTO a(x) VALUES(7)").Ok());
        }
    }

    std::int64_t Query(const char* sql) { return db.QueryInt(sql).value_or(-1); }

    CSqliteDatabase db;
};

TEST_F(SchemaMigrationTest, EveryEarlierVersionIsBroughtUpToDateWithItsRows) {
    for (std::size_t version = 0; version <= STEPS.size(); ++version) {
        SCOPED_TRACE(version);
        MakeFileAt(version);
        const MigrationResult result = MigrateSchema(db, OWNER, STEPS);
        ASSERT_TRUE(result.status.Ok()) << result.status.message;
        EXPECT_EQ(result.found.version, static_cast<std::int64_t>(version));
        EXPECT_EQ(result.changed, version < STEPS.size());
        EXPECT_EQ(Query("PRAGMA user_version"), 3);
        EXPECT_EQ(Query("PRAGMA application_id"), OWNER);
        if (version >= 1) {
            EXPECT_EQ(Query("SELECT count(*) FROM a WHERE x = 7 AND y = 'added'"), 1);
        }
        if (version >= 1 && version < 3) {
            EXPECT_EQ(Query("SELECT x FROM b"), 7); // the third step moved it
        }
        db.Close();
    }
}

TEST_F(SchemaMigrationTest, AFailingStepLeavesTheFileAtItsVersion) {
    MakeFileAt(1);
    const std::vector<const char*> broken = {STEPS[0], STEPS[1], "CREATE TABLE a(x)"};
    const MigrationResult result = MigrateSchema(db, OWNER, broken);
    EXPECT_FALSE(result.status.Ok());
    EXPECT_FALSE(result.changed);
    EXPECT_EQ(Query("PRAGMA user_version"), 1);
    EXPECT_EQ(Query("SELECT count(*) FROM a"), 1);
    // The second step's column went with the transaction.
    EXPECT_FALSE(db.QueryInt("SELECT y FROM a").has_value());
}

TEST_F(SchemaMigrationTest, NewerAndForeignFilesAreNeitherChangedNorUpgraded) {
    const std::pair<const char*, SchemaFit> files[] = {
        {"PRAGMA application_id = 1413829460; PRAGMA user_version = 4; CREATE TABLE z(x)",
         SchemaFit::Newer},
        {"CREATE TABLE invoices(id INTEGER PRIMARY KEY)", SchemaFit::Foreign},
        {"PRAGMA application_id = 99", SchemaFit::Foreign},
    };
    for (const auto& [sql, fit] : files) {
        SCOPED_TRACE(sql);
        MakeFileAt(0);
        ASSERT_TRUE(db.Exec(sql).Ok());
        db.Close();
        const std::string before = ReadWholeFile(path, 1 << 20).bytes;
        ASSERT_TRUE(db.Open(path, SQLITE_OPEN_READWRITE).Ok());
        const MigrationResult result = MigrateSchema(db, OWNER, STEPS);
        EXPECT_TRUE(result.status.Ok());
        EXPECT_EQ(result.found.fit, fit);
        EXPECT_FALSE(result.changed);
        db.Close();
        EXPECT_TRUE(ReadWholeFile(path, 1 << 20).bytes == before);
    }
}

// The player memory's own steps: a file at each earlier version (0: the empty file, as a first
// start makes it) opens, upgrades, records and reads.
TEST_F(PlayerStoreTest, ThePlayerMemoryOpensFromEveryEarlierVersion) {
    const auto& steps = player_schema::Steps();
    for (std::size_t version = 0; version < steps.size(); ++version) {
        SCOPED_TRACE(version);
        store.reset();
        std::filesystem::remove(path);
        if (version >= 1) {
            ASSERT_TRUE(MakePrivateDirectories(std::filesystem::path(path).parent_path()));
            CSqliteDatabase older;
            ASSERT_TRUE(older.Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE).Ok());
            const std::vector<const char*> prefix(steps.begin(), steps.begin() + version);
            ASSERT_TRUE(MigrateSchema(older, player_schema::APPLICATION_ID, prefix).status.Ok());
        }
        Store().StartSession(server, "admin", {"Ann"});
        Store().Chat("Ann", 0, "upgraded");
        Flush();
        EXPECT_EQ(Store().State(), StoreState::Ready);
        EXPECT_EQ(PageOf("Ann").chatTotal, 1);
        EXPECT_EQ(Count("PRAGMA user_version"), static_cast<std::int64_t>(steps.size()));
        EXPECT_TRUE(std::filesystem::exists(path + "-wal"));
        EXPECT_TRUE(Store().TakeProblems().empty());
    }
}

} // namespace
