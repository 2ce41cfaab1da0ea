#include "components/common/feeddb/ForeignKeyTriggers.h"
#include "components/common/feeddb/SchemaModule.h"
#include "platform/base/DebugLog.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

namespace {

// A raw connection, so the tests see the file as any other program would.
class RawDb {
public:
    explicit RawDb(const std::string& path) { sqlite3_open(path.c_str(), &m_db); }
    ~RawDb() { sqlite3_close(m_db); }
    sqlite3* get() const { return m_db; }

    int exec(const std::string& sql, std::string* error = nullptr) const
    {
        char* text = nullptr;
        const int rc = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &text);
        if (error)
            *error = text ? text : "";
        sqlite3_free(text);
        return rc;
    }

    std::vector<std::string> column(const std::string& sql) const
    {
        std::vector<std::string> out;
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
            return {"<prepare failed>"};
        while (sqlite3_step(statement) == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            out.emplace_back(text ? text : "NULL");
        }
        sqlite3_finalize(statement);
        return out;
    }

private:
    sqlite3* m_db{nullptr};
};

constexpr const char* family_schema =
    "CREATE TABLE parent(id INTEGER PRIMARY KEY, name TEXT);"
    "CREATE TABLE child(id INTEGER PRIMARY KEY, parent_id INTEGER, FOREIGN KEY(parent_id) REFERENCES parent(id));"
    "CREATE TABLE broken(id INTEGER PRIMARY KEY, x INTEGER, FOREIGN KEY(x) REFERENCES parent(nope));"
    "CREATE TABLE owned(id INTEGER PRIMARY KEY, parent_id INTEGER REFERENCES parent ON DELETE CASCADE);";

std::string triggers_sql = "SELECT name || ' ON ' || tbl_name FROM sqlite_master WHERE type='trigger' ORDER BY name";

}

TEST(ForeignKeyTriggers, EachGoodKeyGetsFourTriggersAndABrokenKeyIsReported)
{
    plat::TempFolder dir;
    const std::string path = dir / "f.db";
    RawDb db(path);
    ASSERT_EQ(db.exec(family_schema), SQLITE_OK);

    plat::DebugCapture capture;
    EXPECT_EQ(GenerateForeignKeyTriggers(path.c_str()), SQLITE_OK);
    EXPECT_TRUE(capture.contains("Error in table broken: foreign key columns do not exist"));

    const std::vector<std::string> expected = {
        "genfkey1_delete_referenced ON parent",  "genfkey1_insert_referencing ON child",
        "genfkey1_update_referenced ON parent",  "genfkey1_update_referencing ON child",
        "genfkey3_delete_referenced ON parent",  "genfkey3_insert_referencing ON owned",
        "genfkey3_update_referenced ON parent",  "genfkey3_update_referencing ON owned",
    };
    EXPECT_EQ(db.column(triggers_sql), expected);
}

TEST(ForeignKeyTriggers, TriggersRefuseWhatTheKeyForbidsAndCascadeWhereAsked)
{
    plat::TempFolder dir;
    const std::string path = dir / "f.db";
    RawDb db(path);
    ASSERT_EQ(db.exec(family_schema), SQLITE_OK);
    ASSERT_EQ(GenerateForeignKeyTriggers(path.c_str()), SQLITE_OK);

    std::string error;
    ASSERT_EQ(db.exec("INSERT INTO parent VALUES(1, 'p'); INSERT INTO child VALUES(10, 1); INSERT INTO owned VALUES(20, 1);"),
              SQLITE_OK);
    const struct {
        const char* sql;
        int rc;
    } cases[] = {
        {"INSERT INTO child VALUES(11, 2);", SQLITE_CONSTRAINT},   // no parent 2
        {"INSERT INTO child VALUES(12, NULL);", SQLITE_OK},        // NULL refers to nothing
        {"UPDATE child SET parent_id = 3 WHERE id = 10;", SQLITE_CONSTRAINT},
        {"UPDATE parent SET id = 5 WHERE id = 1;", SQLITE_CONSTRAINT},
        {"DELETE FROM parent WHERE id = 1;", SQLITE_CONSTRAINT},   // child 10 still refers to it
        {"INSERT INTO broken VALUES(1, 99);", SQLITE_OK},          // its key got no triggers
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_EQ(db.exec(c.sql, &error), c.rc);
        if (c.rc == SQLITE_CONSTRAINT) {
            EXPECT_EQ(error, "constraint failed");
        }
    }
    ASSERT_EQ(db.exec("DELETE FROM child; DELETE FROM parent WHERE id = 1;"), SQLITE_OK);
    EXPECT_EQ(db.column("SELECT count(*) FROM owned"), std::vector<std::string>{"0"});
}

TEST(ForeignKeyTriggers, ASecondRunWritesNothing)
{
    plat::TempFolder dir;
    const std::string path = dir / "f.db";
    RawDb db(path);
    ASSERT_EQ(db.exec(family_schema), SQLITE_OK);
    ASSERT_EQ(GenerateForeignKeyTriggers(path.c_str()), SQLITE_OK);
    const auto before = db.column("SELECT type || name || tbl_name || coalesce(sql, '') FROM sqlite_master");
    const auto version = db.column("PRAGMA data_version");
    const auto cookie = db.column("PRAGMA schema_version");

    EXPECT_EQ(GenerateForeignKeyTriggers(path.c_str()), SQLITE_OK);
    EXPECT_EQ(db.column("SELECT type || name || tbl_name || coalesce(sql, '') FROM sqlite_master"), before);
    EXPECT_EQ(db.column("PRAGMA schema_version"), cookie);
}

TEST(ForeignKeyTriggers, ATableThatComesBackGetsWorkingTriggersAgain)
{
    // Recreating "parent" moves it to the end of the schema, so every key's number changes.
    plat::TempFolder dir;
    const std::string path = dir / "f.db";
    RawDb db(path);
    ASSERT_EQ(db.exec("CREATE TABLE parent(id INTEGER PRIMARY KEY);"
                      "CREATE TABLE child(id INTEGER PRIMARY KEY, p INTEGER REFERENCES parent(id));"
                      "CREATE TABLE other(id INTEGER PRIMARY KEY, c INTEGER REFERENCES child(id));"),
              SQLITE_OK);
    ASSERT_EQ(GenerateForeignKeyTriggers(path.c_str()), SQLITE_OK);
    ASSERT_EQ(db.exec("DROP TABLE child; CREATE TABLE child(id INTEGER PRIMARY KEY, p INTEGER REFERENCES parent(id));"),
              SQLITE_OK);
    ASSERT_EQ(GenerateForeignKeyTriggers(path.c_str()), SQLITE_OK);

    EXPECT_EQ(db.column("SELECT count(*) FROM sqlite_master WHERE type='trigger'"), std::vector<std::string>{"8"});
    EXPECT_EQ(db.exec("INSERT INTO child VALUES(1, 7);"), SQLITE_CONSTRAINT);
    EXPECT_EQ(db.exec("INSERT INTO other VALUES(1, 7);"), SQLITE_CONSTRAINT);
    EXPECT_EQ(db.exec("INSERT INTO parent VALUES(7); INSERT INTO child VALUES(1, 7); INSERT INTO other VALUES(1, 1);"),
              SQLITE_OK);
}

TEST(ForeignKeyTriggers, MissingPathOrFileFails)
{
    plat::TempFolder dir;
    EXPECT_EQ(GenerateForeignKeyTriggers(nullptr), 1);
    EXPECT_EQ(GenerateForeignKeyTriggers((dir / "absent.db").c_str()), SQLITE_CANTOPEN);
}

TEST(SchemaModule, ListsPragmaRowsAndRefusesUnknownKinds)
{
    RawDb db(":memory:");
    ASSERT_EQ(feeddb::register_schema_module(db.get()), SQLITE_OK);
    ASSERT_EQ(db.exec("CREATE TABLE a(x INTEGER PRIMARY KEY, y TEXT); CREATE TABLE b(z);"
                      "CREATE VIRTUAL TABLE temp.cols USING schema;"
                      "CREATE VIRTUAL TABLE temp.idx USING schema(index_info);"),
              SQLITE_OK);
    EXPECT_EQ(db.column("SELECT database || '.' || tablename || '.' || name || ':' || pk || ':' || rowid FROM temp.cols"),
              (std::vector<std::string>{"main.a.x:1:1", "main.a.y:0:2", "main.b.z:0:3"}));
    EXPECT_TRUE(db.column("SELECT * FROM temp.idx").empty());
    EXPECT_EQ(db.exec("CREATE VIRTUAL TABLE temp.bad USING schema(no_such_listing);"), SQLITE_ERROR);
}

TEST(SchemaModule, QuotingJoiningAndReplacingFunctions)
{
    RawDb db(":memory:");
    ASSERT_EQ(feeddb::register_trigger_functions(db.get()), SQLITE_OK);
    const struct {
        const char* sql;
        const char* result;
    } cases[] = {
        {"SELECT dq('plain')", "\"plain\""},
        {"SELECT dq('say \"hi\"')", "\"say \"\"hi\"\"\""},
        {"SELECT multireplace('/a/ and /ab/', '/ab/', 'X', '/a/', 'Y')", "Y and X"},
        {"SELECT multireplace('aaa', 'a', 'aa')", "aaaaaa"},   // output is never scanned again
        {"SELECT multireplace('keep')", "keep"},
        {"SELECT sj(v, '+') FROM (SELECT 'a' AS v UNION ALL SELECT 'b' UNION ALL SELECT 'c')", "a+b+c"},
        {"SELECT sj(v, '+') FROM (SELECT 1 AS v WHERE 0)", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_EQ(db.column(c.sql), std::vector<std::string>{c.result});
    }
}
