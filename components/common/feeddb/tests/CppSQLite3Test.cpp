#include "components/common/feeddb/CppSQLite3Buffer.h"
#include "components/common/feeddb/CppSQLite3DB.h"
#include "components/common/feeddb/CppSQLite3Exception.h"
#include "platform/base/DebugLog.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

namespace {

class CppSQLite3Fixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        db.open((dir / "t.db").c_str());
        ASSERT_EQ(db.execDML("CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT NOT NULL, size INTEGER);"), 0);
    }

    plat::TempFolder dir;
    CppSQLite3DB db;
};

}

TEST(CppSQLite3Exception, MessageNamesTheCode)
{
    const struct {
        int code;
        const char* detail;
        std::string message;
    } cases[] = {
        {0, "fine", "SQLITE_OK[0]: fine"},
        {19, "constraint failed", "SQLITE_CONSTRAINT[19]: constraint failed"},
        {25, "", "SQLITE_RANGE[25]: "},
        {26, "file is not a database", "UNKNOWN_ERROR[26]: file is not a database"},
        {101, nullptr, "SQLITE_DONE[101]: "},
        {1000, "Database not open", "CPPSQLITE_ERROR[1000]: Database not open"},
        {-1, "x", "UNKNOWN_ERROR[-1]: x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        const CppSQLite3Exception e(c.code, c.detail);
        EXPECT_EQ(e.errorCode(), c.code);
        EXPECT_EQ(std::string(e.errorMessage()), c.message);
        const CppSQLite3Exception copy(e);
        EXPECT_EQ(std::string(copy.errorMessage()), c.message);
        EXPECT_NE(copy.errorMessage(), e.errorMessage());
    }
}

TEST(CppSQLite3DB, ClosedConnectionRaisesDatabaseNotOpen)
{
    CppSQLite3DB db;
    EXPECT_EQ(db.close(), 0);
    for (auto call : {+[](CppSQLite3DB& d) { d.execDML("SELECT 1"); }, +[](CppSQLite3DB& d) { d.execQuery("SELECT 1"); },
                      +[](CppSQLite3DB& d) { d.execScalar("SELECT 1"); }}) {
        try {
            call(db);
            ADD_FAILURE() << "no exception";
        } catch (const CppSQLite3Exception& e) {
            EXPECT_EQ(e.errorCode(), 1000);
            EXPECT_STREQ(e.errorMessage(), "CPPSQLITE_ERROR[1000]: Database not open");
        }
    }
}

TEST(CppSQLite3DB, OpenFailureRaisesWithSQLiteCodeAndMessage)
{
    plat::TempFolder dir;
    CppSQLite3DB db;
    try {
        db.open((dir / "missing-folder/t.db").c_str());
        FAIL() << "no exception";
    } catch (const CppSQLite3Exception& e) {
        EXPECT_EQ(e.errorCode(), SQLITE_CANTOPEN);
        EXPECT_EQ(std::string(e.errorMessage()).rfind("SQLITE_CANTOPEN[14]: ", 0), 0u) << e.errorMessage();
    }
    EXPECT_FALSE(db.isOpen());
}

TEST_F(CppSQLite3Fixture, ChangeThatViolatesAConstraintReturnsTheCode)
{
    plat::DebugCapture capture;
    EXPECT_EQ(db.execDML("INSERT INTO t VALUES(1, NULL, 0);"), SQLITE_CONSTRAINT);
    EXPECT_TRUE(capture.contains("NOT NULL constraint failed"));
    EXPECT_EQ(db.execDML("INSERT INTO t VALUES(1, 'a', 0);"), 0);
    EXPECT_EQ(db.lastRowId(), 1);
    EXPECT_EQ(db.execDML("INSERT INTO t VALUES(1, 'b', 0);"), SQLITE_CONSTRAINT);
    EXPECT_EQ(db.execScalar("SELECT count(*) FROM t;"), 1);
}

TEST_F(CppSQLite3Fixture, QueryThatCannotBePreparedRaises)
{
    try {
        db.execQuery("SELECT * FROM no_such_table;");
        FAIL() << "no exception";
    } catch (const CppSQLite3Exception& e) {
        EXPECT_EQ(e.errorCode(), SQLITE_ERROR);
    }
}

TEST_F(CppSQLite3Fixture, ScalarOfNoRowRaisesAndCountOfNoneIsZero)
{
    EXPECT_EQ(db.execScalar("SELECT count(*) FROM t;"), 0);
    EXPECT_EQ(db.execScalar("SELECT max(id) FROM t;"), 0);   // a NULL value
    try {
        db.execScalar("SELECT id FROM t;");
        FAIL() << "no exception";
    } catch (const CppSQLite3Exception& e) {
        EXPECT_STREQ(e.errorMessage(), "CPPSQLITE_ERROR[1000]: Invalid scalar query");
    }
}

TEST_F(CppSQLite3Fixture, QueryWalksRowsAndReadsNullAsEmpty)
{
    ASSERT_EQ(db.execDML("INSERT INTO t VALUES(1, 'one', NULL); INSERT INTO t VALUES(2, 'two', 5000000000);"), 0);
    CppSQLite3Query q = db.execQuery("SELECT id, name, size FROM t ORDER BY id;");
    ASSERT_FALSE(q.eof());
    EXPECT_EQ(q.numFields(), 3);
    EXPECT_EQ(q.fieldDataType(2), SQLITE_NULL);
    EXPECT_EQ(q.getInt64Field(2), 0);
    EXPECT_EQ(q.getStringField(1), "one");
    EXPECT_EQ(q.fieldValue(2), nullptr);
    q.nextRow();
    ASSERT_FALSE(q.eof());
    EXPECT_EQ(q.getInt64Field(2), 5000000000LL);
    EXPECT_STREQ(q.fieldValue(0), "2");
    for (int bad : {-1, 3}) {
        try {
            q.fieldDataType(bad);
            ADD_FAILURE() << "no exception for " << bad;
        } catch (const CppSQLite3Exception& e) {
            EXPECT_STREQ(e.errorMessage(), "CPPSQLITE_ERROR[1000]: Invalid field index requested");
        }
    }
    q.nextRow();
    EXPECT_TRUE(q.eof());
    q.finalize();
    try {
        q.numFields();
        FAIL() << "no exception";
    } catch (const CppSQLite3Exception& e) {
        EXPECT_STREQ(e.errorMessage(), "CPPSQLITE_ERROR[1000]: Null Virtual Machine pointer");
    }
}

TEST_F(CppSQLite3Fixture, QueryWhoseFirstStepFailsIsEmpty)
{
    ASSERT_EQ(db.execDML("INSERT INTO t VALUES(1, 'one', 1);"), 0);
    // A second connection holds the write lock through a commit in progress.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((dir / "t.db").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK);
    db.setBusyTimeout(0);
    CppSQLite3Query q = db.execQuery("SELECT * FROM t;");
    EXPECT_TRUE(q.eof());
    EXPECT_EQ(db.execDML("INSERT INTO t VALUES(2, 'two', 2);"), SQLITE_BUSY);
    sqlite3_close(other);
}

TEST_F(CppSQLite3Fixture, TableNamesAreQuotedWhateverTheirLength)
{
    const std::string long_name(200, 'n');
    ASSERT_EQ(db.execDML(("CREATE TABLE \"it's\"(x); CREATE TABLE " + long_name + "(x);").c_str()), 0);
    EXPECT_TRUE(db.tableExists("t"));
    EXPECT_TRUE(db.tableExists("it's"));
    EXPECT_TRUE(db.tableExists(long_name.c_str()));
    EXPECT_FALSE(db.tableExists("x' or '1'='1"));
    EXPECT_FALSE(db.tableExists("T"));
}

TEST(CppSQLite3Buffer, FormatQuotesValuesAndReplacesTheText)
{
    CppSQLite3Buffer buffer;
    EXPECT_STREQ(buffer.format("name = '%q' AND id = %lld", "O'Brien", 1LL << 40),
                 "name = 'O''Brien' AND id = 1099511627776");
    EXPECT_STREQ(buffer.format("%Q", static_cast<const char*>(nullptr)), "NULL");
    buffer.clear();
    EXPECT_EQ(static_cast<const char*>(buffer), nullptr);
}
