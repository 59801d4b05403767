#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "records/outputfile.h"
#include "support/scratch.h"

namespace quarvel::records {
namespace {

namespace fs = std::filesystem;

TEST(OutputFile, OneLinePerRowWithCrLfAfterEveryLine) {
  const OutputCells cells = output_cells(
      std::vector<double>{0.5, 1e-6, 0.123456789, -0.25, std::numeric_limits<double>::quiet_NaN()});
  EXPECT_EQ(output_file_text(cells.index, cells.value),
            "0,0.5\r\n1,1E-6\r\n2,0.123457\r\n3,-0.25\r\n4,NAN\r\n");
}

TEST(OutputFile, EmptyCellsWriteTheSeparatorAlone) {
  const std::vector<std::string> empty(5);
  EXPECT_EQ(output_file_text(empty, empty), ",\r\n,\r\n,\r\n,\r\n,\r\n");
  EXPECT_EQ(output_file_text({}, {}), "");
}

class AtomicWriteTest : public quarvel::testing::ScratchFolderTest {
 protected:
  static std::string read(const fs::path& path) { return quarvel::testing::read_file(path); }
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_))
      names.push_back(entry.path().filename().string());
    return names;
  }
};

TEST_F(AtomicWriteTest, ReplacesTheWholeFileAndLeavesNoTemporaryFile) {
  const fs::path target = folder_ / "prediction.txt";
  ASSERT_EQ(write_file_atomically(target.string(), "0,0.5\r\n1,0.75\r\n"), std::nullopt);
  EXPECT_EQ(read(target), "0,0.5\r\n1,0.75\r\n");
  ASSERT_EQ(write_file_atomically(target.string(), "0,1\r\n"), std::nullopt);
  EXPECT_EQ(read(target), "0,1\r\n");
  EXPECT_EQ(entries(), std::vector<std::string>{"prediction.txt"});

  // The new file gets the usual permissions, not a private temporary's.
  struct stat status {};
  ASSERT_EQ(::stat(target.c_str(), &status), 0);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask);
}

TEST_F(AtomicWriteTest, FailureNamesTheReasonAndLeavesNothingBehind) {
  const std::optional<std::string> missing_folder =
      write_file_atomically((folder_ / "no-such-folder" / "out.txt").string(), "0,1\r\n");
  ASSERT_TRUE(missing_folder.has_value());
  EXPECT_NE(missing_folder->find("No such file or directory"), std::string::npos)
      << *missing_folder;

  // A folder in the way of the file: the rename fails, the folder stays, no
  // temporary file is left over.
  const fs::path in_the_way = folder_ / "taken";
  fs::create_directories(in_the_way / "inside");
  const std::optional<std::string> folder_target =
      write_file_atomically(in_the_way.string(), "0,1\r\n");
  ASSERT_TRUE(folder_target.has_value());
  EXPECT_NE(folder_target->find(in_the_way.string()), std::string::npos) << *folder_target;
  EXPECT_TRUE(fs::is_directory(in_the_way / "inside"));
  EXPECT_EQ(entries(), std::vector<std::string>{"taken"});
}

TEST_F(AtomicWriteTest, FailedWriteKeepsTheOldFileAndLeavesNoPartialFile) {
  const fs::path target = folder_ / "kept.txt";
  ASSERT_EQ(write_file_atomically(target.string(), "old\r\n"), std::nullopt);

  // A file size limit makes the write itself fail, as a full disk would.
  std::optional<std::string> failed;
  {
    const quarvel::testing::FileSizeLimit limit(16);
    ASSERT_TRUE(limit.in_force());
    failed = write_file_atomically(target.string(), std::string(1000, 'x'));
  }

  ASSERT_TRUE(failed.has_value());
  EXPECT_NE(failed->find("cannot write"), std::string::npos) << *failed;
  EXPECT_EQ(read(target), "old\r\n");
  EXPECT_EQ(entries(), std::vector<std::string>{"kept.txt"});
}

// Another writer holds the folder: the step waits for it to finish, and an
// interrupt while waiting abandons the step.
TEST_F(AtomicWriteTest, WaitsWhileAnotherWriterHoldsTheFolder) {
  const int folder = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(folder, 0);
  ASSERT_EQ(::flock(folder, LOCK_EX), 0);
  const fs::path target = folder_ / "out.txt";
  std::atomic<bool> done{false};
  std::optional<std::string> result = "not written";
  std::thread writer([&] {
    result = write_file_atomically(target.string(), "new");
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(done);
  EXPECT_FALSE(fs::exists(target));
  ASSERT_EQ(::flock(folder, LOCK_UN), 0);
  writer.join();
  EXPECT_EQ(result, std::nullopt);
  EXPECT_EQ(read(target), "new");

  ASSERT_EQ(::flock(folder, LOCK_EX), 0);
  const std::vector<OutputFile> files{{target.string(), "newer"}};
  EXPECT_EQ(write_files_atomically(files, system_file_calls(), [] { return true; }),
            "interrupted; no file was changed");
  EXPECT_EQ(read(target), "new");
  EXPECT_EQ(entries(), std::vector<std::string>{"out.txt"});
  ::close(folder);
}

}  // namespace
}  // namespace quarvel::records
