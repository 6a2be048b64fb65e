// The database's schema steps: each run once, in order, whole or not at all; a database of a newer schema is
// never touched.
#include "serve/store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "serve/sqlite.h"
#include "tests/serve/robot_fixture.h"

namespace serve::testing {
namespace {

class StoreTest : public ::testing::Test {
 protected:
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string Path() const { return folder_ + "/zorvant.db"; }

 private:
  std::string folder_ = NewFolder();
};

TEST_F(StoreTest, SchemaStepsRunOnceInOrderAndKeepWhatIsStored) {
  const std::vector<Migration> first = {SchemaMigrations()[0]};
  {
    Store store(Path(), first);
    EXPECT_EQ(store.SchemaVersion(), 1);
    store.SetSetting("sponsor_key", "kept");
  }
  // A later zorvant adds a step: it runs on the old database and leaves its rows as they were.
  std::vector<Migration> later = first;
  later.push_back({2, "CREATE TABLE notes (text TEXT NOT NULL); INSERT INTO notes VALUES ('step 2 ran');"});
  {
    Store store(Path(), later);
    EXPECT_EQ(store.SchemaVersion(), 2);
    EXPECT_EQ(store.Setting("sponsor_key"), "kept");
  }
  Store again(Path(), later);
  Connection db(Path());
  Statement notes(db, "SELECT COUNT(*) FROM notes");
  ASSERT_TRUE(notes.Step());
  EXPECT_EQ(notes.Int(0), 1);
}

TEST_F(StoreTest, AFailingStepLeavesTheDatabaseAsItWas) {
  { Store store(Path(), {SchemaMigrations()[0]}); }
  const std::vector<Migration> broken = {SchemaMigrations()[0],
                                         {2, "CREATE TABLE half (x); INSERT INTO no_such_table VALUES (1);"}};
  EXPECT_THROW(Store(Path(), broken), StoreError);
  Store store(Path(), {SchemaMigrations()[0]});
  EXPECT_EQ(store.SchemaVersion(), 1);
  Connection db(Path());
  Statement half(db, "SELECT COUNT(*) FROM sqlite_master WHERE name = 'half'");
  ASSERT_TRUE(half.Step());
  EXPECT_EQ(half.Int(0), 0);
}

TEST_F(StoreTest, ADatabaseOfANewerSchemaIsRefused) {
  {
    Connection db(Path());
    db.Exec("PRAGMA user_version = 99");
  }
  try {
    Store store(Path());
    FAIL() << "opened";
  } catch (const StoreError& e) {
    EXPECT_NE(std::string(e.what()).find("schema version 99, newer than this zorvant's"), std::string::npos)
        << e.what();
  }
  Connection db(Path());
  Statement tables(db, "SELECT COUNT(*) FROM sqlite_master");
  ASSERT_TRUE(tables.Step());
  EXPECT_EQ(tables.Int(0), 0);
}

}  // namespace
}  // namespace serve::testing
