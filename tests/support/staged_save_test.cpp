// What a save guarantees whatever happens to it: the target's name always holds the whole old or
// the whole new file, two saves of one file wait for each other, what killed saves left behind
// is cleared, and links, long names and a busy clock do not stop a save.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "../fault_injection.h"
#include "support/errors.h"
#include "support/platform.h"
#include "support/stagedfile.h"
#include "support/text.h"

namespace picmap::test {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

// Every reading a second later, as a script's saves a second apart would see it.
class TickingClock : public ClockPort {
 public:
  DateTime Now() const override {
    DateTime t{2026, 12, 7, 4, 52, 0};
    t.second = ticks_ % 60;
    t.minute = 52 + ticks_ / 60;
    ++ticks_;
    return t;
  }
  mutable int ticks_ = 0;
};

std::vector<std::u16string> gNotices;
void CollectNotice(const std::u16string& line) { gNotices.push_back(line); }

class StagedSave : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("picmap_staged_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root);
    fs::create_directories(root);
    target = root / "m.MLL";
    gNotices.clear();
    previousSink = SetSaveNoticeSink(&CollectNotice);
    previousClock = SetClockPort(&clock);
  }
  void TearDown() override {
    SetClockPort(previousClock);
    SetSaveNoticeSink(previousSink);
    fs::remove_all(root);
  }
  std::u16string U(const fs::path& p) const { return FromUtf8(p.string()); }
  void ResetToOld() {
    fs::remove_all(root);
    fs::create_directories(root);
    Write(target, oldBytes);
    Write(root / "m.THG", oldThings);
  }
  void SaveBoth() {
    SaveTransaction both;
    WriteFileStaged(U(target), newBytes, true);
    WriteFileStaged(U(root / "m.THG"), newThings);
    both.Complete();
  }

  fs::path root, target;
  // Several write buffers' worth, so a cut file could not pass for a whole one.
  const std::string oldBytes = std::string(300000, 'o');
  const std::string newBytes = std::string(2500000, 'n');
  const std::string oldThings = "old things", newThings = "new things";
  SaveNoticeSink previousSink = nullptr;
  TickingClock clock;
  ClockPort* previousClock = nullptr;
};

TEST_F(StagedSave, KilledAtEveryStepLeavesTheWholeOldOrTheWholeNewFile) {
  ResetToOld();
  int step = 1;
  for (; KilledAtStep(step, [&] { SaveBoth(); }); ++step) {
    const std::string map = Read(target), things = Read(root / "m.THG");
    EXPECT_TRUE(map == oldBytes || map == newBytes) << "killed at step " << step;
    EXPECT_TRUE(things == oldThings || things == newThings) << "killed at step " << step;
    // A later save clears what the killed one left and says so.
    const bool leftovers = !TemporaryFiles(root).empty();
    gNotices.clear();
    SaveBoth();
    EXPECT_TRUE(TemporaryFiles(root).empty()) << "killed at step " << step;
    EXPECT_EQ(!gNotices.empty(), leftovers) << "killed at step " << step;
    EXPECT_EQ(Read(target), newBytes);
    ResetToOld();
  }
  EXPECT_GE(step, 8) << "two files, four steps each";
  EXPECT_EQ(Read(target), newBytes);
}

TEST_F(StagedSave, FailureAtEveryStepPutsBothFilesBack) {
  ResetToOld();
  int step = 1;
  for (;; ++step) {
    {
      const SaveStepFault fail(step, SaveStepFault::Kind::Fail);
      try {
        SaveBoth();
      } catch (const Error& e) {
        EXPECT_EQ(e.Number(), 61);
      }
      if (!SaveStepFault::Reached()) break;
    }
    EXPECT_EQ(Read(target), oldBytes) << "failed at step " << step;
    EXPECT_EQ(Read(root / "m.THG"), oldThings) << "failed at step " << step;
    EXPECT_TRUE(TemporaryFiles(root).empty()) << "failed at step " << step;
    // Only the two files: no backup of a save that did not happen.
    EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), 2);
  }
  EXPECT_EQ(step, 9);
  EXPECT_EQ(Read(target), newBytes);
  EXPECT_EQ(Read(root / "m.THG"), newThings);
}

TEST_F(StagedSave, SecondSaveOfOneFolderWaitsForTheFirst) {
  Write(target, oldBytes);
  const fs::path released = root / "released";
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    const auto lock = LockSavesBeside(target.string());
    char go = 1;
    (void)!::write(ready[1], &go, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    Write(released, "");
    ::_exit(0);
  }
  char go = 0;
  ASSERT_EQ(::read(ready[0], &go, 1), 1);
  WriteFileStaged(U(target), newBytes, true);
  EXPECT_TRUE(fs::exists(released)) << "the save did not wait for the lock";
  ::waitpid(child, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
}

// A script saving one map several times a second finds the backup name of this second taken:
// the save waits for the next second instead of failing.
class SteppingClock : public ClockPort {
 public:
  DateTime Now() const override {
    DateTime t{2026, 12, 7, 4, 52, 1};
    if (++calls_ > 2) t.second = 2;
    return t;
  }
  mutable int calls_ = 0;
};

TEST_F(StagedSave, TakenBackupNameWaitsForTheNextSecond) {
  SteppingClock stepping;
  SetClockPort(&stepping);
  Write(target, oldBytes);
  Write(root / "m-2026-12-07-4-52-01.MLL", "taken");
  WriteFileStaged(U(target), newBytes, true);
  EXPECT_EQ(Read(target), newBytes);
  EXPECT_EQ(Read(root / "m-2026-12-07-4-52-01.MLL"), "taken");
  EXPECT_EQ(Read(root / "m-2026-12-07-4-52-02.MLL"), oldBytes);
}

TEST_F(StagedSave, BackupOfANameNearTheLimitIsShortenedAndTold) {
  const fs::path longName = root / (std::string(236, 'a') + "\xE5\x9C\xB0.MLL");  // 243 bytes
  Write(longName, oldBytes);
  for (const std::string& bytes : {newBytes, std::string("third")}) {
    WriteFileStaged(U(longName), bytes, true);
    EXPECT_EQ(Read(longName), bytes);
  }
  int backups = 0;
  for (const auto& e : fs::directory_iterator(root)) {
    const std::string name = e.path().filename().string();
    if (name == longName.filename().string()) continue;
    ++backups;
    EXPECT_LE(name.size(), 255u);
    EXPECT_NE(name.find("-2026-12-07-"), std::string::npos) << name;
    EXPECT_TRUE(FromUtf8(name).size() > 0);  // still whole UTF-8
  }
  EXPECT_EQ(backups, 2);
  ASSERT_FALSE(gNotices.empty());
  EXPECT_NE(gNotices.back().find(u"-2026-12-07-"), std::u16string::npos);  // names the backup
}

TEST_F(StagedSave, ThroughASymbolicLinkTheRealFileIsReplacedAndTheLinkStays) {
  // Into another file system where there is one at hand (the usual case: a link into /dev/shm).
  fs::path elsewhere = fs::path("/dev/shm") / root.filename();
  struct stat a {}, b {};
  if (::stat("/dev/shm", &b) != 0 || (::stat(root.c_str(), &a) == 0 && a.st_dev == b.st_dev))
    elsewhere = root / "real";
  fs::remove_all(elsewhere);
  fs::create_directories(elsewhere);
  Write(elsewhere / "m.MLL", oldBytes);
  fs::create_symlink(elsewhere / "m.MLL", target);
  WriteFileStaged(U(target), newBytes, true);
  EXPECT_TRUE(fs::is_symlink(target));
  EXPECT_EQ(Read(target), newBytes);
  // The backup lies beside the real file; nothing but the link is added beside the link.
  int backups = 0;
  for (const auto& e : fs::directory_iterator(elsewhere))
    if (e.path().filename() != "m.MLL") backups += Read(e.path()) == oldBytes;
  EXPECT_EQ(backups, 1);
  EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()),
            elsewhere.parent_path() == root ? 2 : 1);
  fs::remove_all(elsewhere);
}

}  // namespace
}  // namespace picmap::test
