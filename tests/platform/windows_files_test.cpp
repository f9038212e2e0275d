// The Windows side of the platform's file services: what a path leads to (devices, the same
// file under two names), replacing a file, and paths in UTF-8 through a console tool's wide calls.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/file_safety.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text_encoding.h"
#include "tests/support/temp_dir.h"

namespace karst::platform {
namespace {

// The system's codes (ERROR_FILE_NOT_FOUND, ERROR_FILE_EXISTS), whose texts differ from one
// Windows to another.
constexpr unsigned long kFileNotFound = 2;
constexpr unsigned long kFileExists = 80;

// What the test writes, as a path string of a console tool (UTF-8).
std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(NativePath(path), std::ios::binary) << text;
}

std::string ReadText(const std::string& path) {
  const std::vector<std::uint8_t> bytes = karst::testing::ReadFileBytes(NativePath(path));
  return std::string(bytes.begin(), bytes.end());
}

class WindowsFiles : public ::testing::Test {
 protected:
  void SetUp() override { BeginConsoleTool(0, nullptr); }

  karst::testing::TempDir dir_;
  std::string folder_ = Utf8(dir_.path()) + "\\Welt \xC3\xA9\xE2\x82\xAC";  // "Welt é€"
};

TEST_F(WindowsFiles, KindsOfWhatAPathLeadsTo) {
  std::filesystem::create_directory(NativePath(folder_));
  WriteText(folder_ + "\\na\xC3\xAFve.gff", "x");
  struct Case {
    std::string path;
    FileKind kind;
  };
  const Case cases[] = {
      {"NUL", FileKind::kCharacterDevice},
      {"nul.txt", FileKind::kCharacterDevice},
      {folder_ + "\\NUL", FileKind::kCharacterDevice},
      {"CON", FileKind::kCharacterDevice},
      {"com1", FileKind::kCharacterDevice},
      {"COM0", FileKind::kMissing},  // only COM1 to COM9 are devices
      {"CONSOLE", FileKind::kMissing},
      {folder_ + "\\na\xC3\xAFve.gff", FileKind::kRegular},
      {folder_, FileKind::kDirectory},
      {folder_ + "\\missing.gff", FileKind::kMissing},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(InspectPath(c.path).kind, c.kind) << c.path;
  }
}

TEST_F(WindowsFiles, TheSameFileUnderTwoNamesHasOneIdentity) {
  std::filesystem::create_directory(NativePath(folder_));
  const std::string first = folder_ + "\\a.gff";
  WriteText(first, "a");
  WriteText(folder_ + "\\b.gff", "b");
  std::filesystem::create_hard_link(NativePath(first), NativePath(folder_ + "\\link.gff"));
  const FileIdentity identity = InspectPath(first).identity;
  EXPECT_NE(identity, FileIdentity{});
  EXPECT_EQ(InspectPath(folder_ + "\\link.gff").identity, identity);
  EXPECT_EQ(InspectPath(folder_ + "\\.\\A.GFF").identity, identity);
  EXPECT_NE(InspectPath(folder_ + "\\b.gff").identity, identity);
}

TEST_F(WindowsFiles, RenameOverReplacesATargetAndSaysWhyItCannot) {
  std::filesystem::create_directory(NativePath(folder_));
  const std::string from = folder_ + "\\.new.part";
  const std::string to = folder_ +
                         "\\\xC3\xBC"
                         "ber.png";
  WriteText(to, "old");
  WriteText(from, "new");
  EXPECT_EQ(RenameOver(from, to), "");
  EXPECT_EQ(ReadText(to), "new");
  EXPECT_EQ(InspectPath(from).kind, FileKind::kMissing);
  EXPECT_EQ(RenameOver(from, to), SystemErrorText(kFileNotFound));
  EXPECT_EQ(ReadText(to), "new");
}

TEST_F(WindowsFiles, ANewFileIsMadeOnceAndDevicesAreOpenedAsTheyAre) {
  std::filesystem::create_directory(NativePath(folder_));
  const std::string path = folder_ + "\\\xE2\x82\xAC.png";
  WritableFile created = WritableFile::CreateNew(path);
  ASSERT_TRUE(created.is_open()) << created.error();
  EXPECT_EQ(created.Write(std::vector<std::uint8_t>{'o', 'k'}), "");
  EXPECT_EQ(created.Close(), "");
  EXPECT_EQ(ReadText(path), "ok");
  EXPECT_EQ(WritableFile::CreateNew(path).error(), SystemErrorText(kFileExists));
  WritableFile device = WritableFile::OpenExisting("NUL");
  ASSERT_TRUE(device.is_open()) << device.error();
  EXPECT_EQ(device.Write(std::vector<std::uint8_t>(100000, 7)), "");
}

TEST_F(WindowsFiles, TheSearchFindsUtf8NamesInOrderWithoutRegardToCase) {
  std::filesystem::create_directory(NativePath(folder_));
  for (const char* name : {"rgn02.gff", "RGN01.GFF", "Rgn\xC3\xA9.gff", "RGN10.GFF", "objex.gff", "RGN03.GFF.BAK"}) {
    WriteText(folder_ + "\\" + name, "x");
  }
  const std::vector<std::string> expected{"RGN01.GFF", "rgn02.gff", "RGN10.GFF", "Rgn\xC3\xA9.gff"};
  EXPECT_EQ(FindFiles(folder_ + "\\RGN*.GFF"), expected);
  EXPECT_EQ(FindFiles(folder_ + "/RGN*.GFF"), expected);
  EXPECT_EQ(LocateFile(folder_, "OBJEX.GFF"), folder_ + "\\objex.gff");
}

// A path that a message prints has one kind of separator, however its parts were joined.
TEST(WindowsPathText, OneKindOfSeparator) {
  EXPECT_EQ(PathText(NativePath("site") / NativePath("maps/RGN04.png")), "site\\maps\\RGN04.png");
  EXPECT_EQ(PathText(NativePath("C:/Games/World\\RGN01.GFF")), "C:\\Games\\World\\RGN01.GFF");
}

}  // namespace
}  // namespace karst::platform
