// The container reader: header, directory walk, plain and indexed records, stream rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "authoring/byte_writer.h"
#include "authoring/container_writer.h"
#include "gff/format.h"
#include "gff/gff_file.h"
#include "gff/gff_stream.h"
#include "gff/load_report.h"
#include "tests/gff/frame_fixtures.h"
#include "tests/support/temp_dir.h"

namespace karst {
namespace {

using authoring::ByteWriter;

struct EntryValues {
  std::uint32_t number, offset, size;
  bool operator==(const EntryValues&) const = default;
};

struct RecordValues {
  std::string tag;
  std::uint32_t count, flags;
  std::vector<EntryValues> entries;
  bool operator==(const RecordValues&) const = default;
};

std::vector<RecordValues> Records(const GffFile& file) {
  std::vector<RecordValues> records;
  for (const ChunkType& type : file.directory()) {
    RecordValues values{std::string(type.tag.data(), 4), type.count, type.flags, {}};
    EXPECT_EQ(type.tag[4], '\0');
    EXPECT_NE(type.entries, nullptr);
    for (const ChunkEntry& entry : *type.entries) {
      values.entries.push_back({entry.number, entry.offset, entry.size});
    }
    records.push_back(values);
  }
  return records;
}

// "GFFI", eight unread bytes, D.
void Header(ByteWriter& out, std::uint32_t directoryPosition) {
  out.tag(kTagGffi);
  out.zeros(8);
  out.u32le(directoryPosition);
}

// Four unread bytes, L, two unread bytes.
void DirectoryHeader(ByteWriter& out, std::uint32_t length) {
  out.zeros(4);
  out.u32le(length);
  out.zeros(2);
}

void PlainRecord(ByteWriter& out, const Tag& tag, std::uint16_t flags, const std::vector<EntryValues>& entries) {
  out.tag(tag);
  out.u16le(static_cast<std::uint16_t>(entries.size()));  // count
  out.u16le(flags);
  for (const EntryValues& entry : entries) {
    out.u32le(entry.number);
    out.u32le(entry.offset);
    out.u32le(entry.size);
  }
}

// Opens from bytes; what the reading noted goes to `notes` when given.
GffFile OpenBytes(std::vector<std::uint8_t> bytes, bool expectOpen = true, std::vector<LoadNote>* notes = nullptr) {
  std::vector<LoadNote> unused;
  GffFile file;
  EXPECT_EQ(file.OpenBytes(std::move(bytes), LoadReport::Into(notes != nullptr ? *notes : unused)), expectOpen);
  return file;
}

TEST(GffOpen, DirectoryWhoseFirstRecordIsMissingIsEmpty) {
  ByteWriter out;
  Header(out, 16);
  DirectoryHeader(out, 10);  // L = 10 at position 20, nothing after position 26
  ASSERT_EQ(out.size(), 26u);
  GffFile file = OpenBytes(out.take());
  EXPECT_TRUE(file.IsOpen());
  EXPECT_EQ(file.directory().count(), 0);
  EXPECT_FALSE(file.StreamFailed());  // the flags are cleared after the directory
}

TEST(GffOpen, MinimalFileOfFiftyTwoBytes) {
  ByteWriter out;
  Header(out, 16);
  DirectoryHeader(out, 30);
  PlainRecord(out, kTagRnme, 0, {{0, 46, 6}});  // 26..45
  out.bytes(std::vector<std::uint8_t>{'A', 'b', 'y', 's', 's', '!'});
  ASSERT_EQ(out.size(), 52u);
  GffFile file = OpenBytes(out.take());
  EXPECT_EQ(Records(file), (std::vector<RecordValues>{{"RNME", 1, 0, {{0, 46, 6}}}}));

  std::vector<std::uint8_t> payload(6);
  ASSERT_TRUE(file.SeekTo(file.directory().head()->data->entries->head()->data.operator*()));
  EXPECT_EQ(file.Read(payload), 6u);
  EXPECT_EQ(std::string(payload.begin(), payload.end()), "Abyss!");
}

TEST(GffOpen, LengthStopsReadingOnlyAfterARecord) {
  for (std::uint32_t length : {0u, 5u, 10u}) {
    ByteWriter out;
    Header(out, 16);
    DirectoryHeader(out, length);
    PlainRecord(out, kTagPal, 0, {{1, 0, 0}});
    PlainRecord(out, kTagMap, 0, {{2, 0, 0}});
    GffFile file = OpenBytes(out.take());
    EXPECT_EQ(Records(file), (std::vector<RecordValues>{{"PAL ", 1, 0, {{1, 0, 0}}}})) << "L = " << length;
  }
  // One byte more than the first record reaches on: the second record is read too.
  ByteWriter out;
  Header(out, 16);
  DirectoryHeader(out, 10 + 20 + 1);
  PlainRecord(out, kTagPal, 0, {{1, 0, 0}});
  PlainRecord(out, kTagMap, 0, {{2, 0, 0}});
  EXPECT_EQ(OpenBytes(out.take()).directory().count(), 2);
}

TEST(GffOpen, PlainRecordsOfEveryShape) {
  ByteWriter out;
  Header(out, 16);
  DirectoryHeader(out, 10 + 8 + 32 + 20);
  PlainRecord(out, kTagTile, 0, {});                          // count 0: kept, reading goes on
  PlainRecord(out, kTagBmp, 0, {{5, 100, 20}, {9, 120, 8}});  // two entries, trailing blank kept
  PlainRecord(out, kTagOjff, 0x8001, {{3, 7, 16}});           // 0x8001 still selects the plain form
  GffFile file = OpenBytes(out.take());
  EXPECT_EQ(Records(file),
            (std::vector<RecordValues>{
                {"TILE", 0, 0, {}}, {"BMP ", 2, 0, {{5, 100, 20}, {9, 120, 8}}}, {"OJFF", 1, 0x8001, {{3, 7, 16}}}}));
}

// A "GFFI" record with one index chunk (number 7) at `indexPosition`, 4 + 8 * pairs bytes long.
void IndexRecord(ByteWriter& out, std::uint32_t number, std::uint32_t indexPosition, std::uint32_t pairs) {
  PlainRecord(out, kTagGffi, 0, {{number, indexPosition, 4 + 8 * pairs}});
}

void IndexedRecord(ByteWriter& out, const Tag& tag, std::uint16_t count, std::uint32_t key,
                   const std::vector<std::pair<std::uint32_t, std::uint32_t>>& runs) {
  out.tag(tag);
  out.u16le(count);
  out.u16le(kIndexedFlags);
  out.zeros(4);                                        // unread
  out.u32le(key);                                      // number of the index chunk
  out.u32le(static_cast<std::uint32_t>(runs.size()));  // R
  for (const auto& [first, length] : runs) {
    out.u32le(first);
    out.u32le(length);
  }
}

TEST(GffOpen, IndexedRunsTakePairsInOrderAndTheStreamReturnsToTheDirectory) {
  ByteWriter out;
  Header(out, 16);
  const std::uint32_t directoryLength = 10 + 20 + 36 + 20;
  const std::uint32_t indexPosition = 16 + directoryLength;
  DirectoryHeader(out, directoryLength);
  IndexRecord(out, 7, indexPosition, 5);                   // 26..45
  IndexedRecord(out, kTagTile, 5, 7, {{10, 3}, {40, 2}});  // 46..81: 36 bytes
  PlainRecord(out, kTagMap, 0, {{1, 2, 3}});               // 82..101: read after the runs
  ASSERT_EQ(out.size(), indexPosition);
  out.zeros(4);  // index chunk: unread
  for (std::uint32_t i = 0; i < 5; ++i) {
    out.u32le(1000 + i);  // position
    out.u32le(50 + i);    // size
  }
  GffFile file = OpenBytes(out.take());
  EXPECT_EQ(
      Records(file),
      (std::vector<RecordValues>{
          {"GFFI", 1, 0, {{7, indexPosition, 44}}},
          {"TILE", 5, kIndexedFlags, {{10, 1000, 50}, {11, 1001, 51}, {12, 1002, 52}, {40, 1003, 53}, {41, 1004, 54}}},
          {"MAP ", 1, 0, {{1, 2, 3}}}}));
}

TEST(GffOpen, IndexedRecordWithoutRunsIsKeptEmpty) {
  ByteWriter out;
  Header(out, 16);
  DirectoryHeader(out, 10 + 20 + 20 + 20);
  IndexRecord(out, 0, 200, 0);
  IndexedRecord(out, kTagBmp, 0, 0, {});  // R = 0
  PlainRecord(out, kTagCbmp, 0, {{4, 5, 6}});
  GffFile file = OpenBytes(out.take());
  EXPECT_EQ(Records(file),
            (std::vector<RecordValues>{
                {"GFFI", 1, 0, {{0, 200, 4}}}, {"BMP ", 0, kIndexedFlags, {}}, {"CBMP", 1, 0, {{4, 5, 6}}}}));
}

TEST(GffOpen, NegativeRunCountAndRunLengthGiveNoEntries) {
  ByteWriter out;
  Header(out, 16);
  const std::uint32_t directoryLength = 10 + 20 + 28 + 20 + 20;
  DirectoryHeader(out, directoryLength);
  IndexRecord(out, 0, 16 + directoryLength, 1);
  IndexedRecord(out, kTagBmp, 1, 0, {{5, 0xFFFFFFFFu}});  // run length -1: no chunks
  out.tag(kTagTile);                                      // R = -1: no runs
  out.u16le(0);
  out.u16le(kIndexedFlags);
  out.zeros(4);
  out.u32le(0);
  out.u32le(0xFFFFFFFFu);
  PlainRecord(out, kTagPal, 0, {{1, 1, 1}});
  out.zeros(12);  // the index chunk: its 4 unread bytes and one unused pair
  GffFile file = OpenBytes(out.take());
  const std::vector<RecordValues> records = Records(file);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_TRUE(records[1].entries.empty());
  EXPECT_TRUE(records[2].entries.empty());
  EXPECT_EQ(records[3].tag, "PAL ");
}

TEST(GffOpen, LaterIndexRecordReplacesTheEarlierOne) {
  ByteWriter out;
  Header(out, 16);
  const std::uint32_t directoryLength = 10 + 20 + 20 + 28 + 28;
  const std::uint32_t firstIndex = 16 + directoryLength;
  const std::uint32_t secondIndex = firstIndex + 12;
  DirectoryHeader(out, directoryLength);
  IndexRecord(out, 1, firstIndex, 1);
  IndexRecord(out, 2, secondIndex, 1);
  IndexedRecord(out, kTagTile, 1, 2, {{8, 1}});  // key 2: found among the second record's chunks
  IndexedRecord(out, kTagBmp, 1, 1, {{9, 1}});   // key 1: only the first record has it: dropped, ends
  out.zeros(4);
  out.u32le(111);
  out.u32le(11);
  out.zeros(4);
  out.u32le(222);
  out.u32le(22);
  std::vector<LoadNote> notes;
  GffFile file = OpenBytes(out.take(), true, &notes);
  EXPECT_EQ(frame_tests::ChannelsOf(notes).out, "");
  const std::vector<RecordValues> records = Records(file);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[2], (RecordValues{"TILE", 1, kIndexedFlags, {{8, 222, 22}}}));
}

TEST(GffOpen, IndexedRecordBeforeAnyIndexEndsTheDirectoryWithOneLine) {
  ByteWriter out;
  Header(out, 16);
  DirectoryHeader(out, 10 + 28 + 20);
  IndexedRecord(out, kTagTile, 1, 0, {{1, 1}});
  PlainRecord(out, kTagPal, 0, {{1, 2, 3}});
  std::vector<LoadNote> notes;
  GffFile file = OpenBytes(out.take(), true, &notes);
  EXPECT_EQ(frame_tests::ChannelsOf(notes).out, "It's a GFFI But we don't got no GFFI yet!!\n");
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].tag, kTagTile);
  EXPECT_EQ(file.directory().count(), 0);
}

TEST(GffOpen, RejectsWhatIsNoContainer) {
  ByteWriter out;
  Header(out, 16);
  DirectoryHeader(out, 10);
  const std::vector<std::uint8_t> valid = out.take();
  for (std::size_t i = 0; i < 4; ++i) {
    std::vector<std::uint8_t> bad = valid;
    bad[i] = static_cast<std::uint8_t>(bad[i] ^ 0x20);  // "gFFI", "GfFI", ...
    OpenBytes(bad, false);
  }
  // The header needs its 16 bytes to reach D + 4; 15 bytes fail.
  OpenBytes(std::vector<std::uint8_t>(valid.begin(), valid.begin() + 15), false);
  OpenBytes(std::vector<std::uint8_t>(valid.begin(), valid.begin() + 16), true);
  OpenBytes({}, false);
  // D + 4 of 2^31 or more cannot be reached.
  std::vector<std::uint8_t> far = valid;
  far[12] = 0xFC;
  far[13] = 0xFF;
  far[14] = 0xFF;
  far[15] = 0x7F;  // D = 0x7FFFFFFC: D + 4 = 2^31
  OpenBytes(far, false);
  far[12] = 0xFB;  // D + 4 = 2^31 - 1: reachable, the directory is just empty
  OpenBytes(far, true);
}

TEST(GffOpen, OpensFilesLikeBytes) {
  karst::testing::TempDir dir;
  const std::vector<std::uint8_t> bytes =
      authoring::WriteContainer({{kTagRnme, {{3, {'a', 'b'}}}}, {kTagTile, {{9, {1}}, {4, {2, 3}}}, true}});
  GffFile fromFile;
  ASSERT_TRUE(fromFile.Open(dir.Write("RGN01.GFF", bytes).string(), LoadReport()));
  GffFile fromBytes = OpenBytes(bytes);
  EXPECT_EQ(Records(fromFile), Records(fromBytes));
  GffFile missing;
  EXPECT_FALSE(missing.Open((dir.path() / "NOPE.GFF").string(), LoadReport()));
}

TEST(GffOpen, FilesTooLargeToReadWholeAreReadAsAskedWithTheSameResult) {
  karst::testing::TempDir dir;
  // One chunk just large enough to take the file past the size read at once.
  std::vector<std::uint8_t> big(GffStream::kWholeFileLimit, 0x5A);
  big.back() = 0xA5;
  const std::vector<std::uint8_t> bytes = authoring::WriteContainer({{kTagTile, {{9, big}}}});
  ASSERT_GT(bytes.size(), GffStream::kWholeFileLimit);
  GffFile fromFile;
  ASSERT_TRUE(fromFile.Open(dir.Write("RGN01.GFF", bytes).string(), LoadReport()));
  GffFile fromBytes = OpenBytes(bytes);
  ASSERT_EQ(Records(fromFile), Records(fromBytes));
  for (GffFile* file : {&fromFile, &fromBytes}) {
    ASSERT_TRUE(file->SeekTo(file->directory().head()->data->entries->head()->data.operator*()));
    std::vector<std::uint8_t> payload(big.size());
    EXPECT_EQ(file->Read(payload), big.size());
    EXPECT_EQ(payload, big);
  }
}

// What the reader keeps of a file of plain records cut after `length` bytes: records
// whose 8 header bytes arrived; entries up to and including the first one cut short, with zeros
// for the bytes that did not arrive; nothing after a cut record.
std::vector<RecordValues> ExpectedPrefix(const std::vector<std::uint8_t>& full, std::size_t length,
                                         const std::vector<RecordValues>& records) {
  auto u32At = [&](std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      if (at + i < length) {
        value |= static_cast<std::uint32_t>(full[at + i]) << (8 * i);
      }
    }
    return value;
  };
  std::vector<RecordValues> kept;
  if (length < 16) {
    return kept;
  }
  std::size_t position = 26;
  for (const RecordValues& record : records) {
    if (position + 8 > length) {
      break;
    }
    RecordValues cut{record.tag, record.count, record.flags, {}};
    bool complete = true;
    for (std::size_t i = 0; i < record.entries.size(); ++i) {
      const std::size_t at = position + 8 + 12 * i;
      cut.entries.push_back({u32At(at), u32At(at + 4), u32At(at + 8)});
      if (at + 12 > length) {
        complete = false;
        break;
      }
    }
    kept.push_back(cut);
    if (!complete) {
      break;
    }
    position += 8 + 12 * record.entries.size();
  }
  return kept;
}

TEST(GffOpen, EveryTruncationKeepsExactlyWhatWasReadable) {
  const std::vector<std::uint8_t> full = authoring::WriteContainer({
      {kTagPal, {{1, std::vector<std::uint8_t>(20, 0x11)}}},
      {kTagTile, {{9, {1, 2}}, {4, {3}}, {6, {4, 5, 6}}}},
      {kTagRnme, {}},
      {kTagEtab, {{0x01020304, std::vector<std::uint8_t>(8, 0x22)}}},
  });
  GffFile whole = OpenBytes(full);
  const std::vector<RecordValues> records = Records(whole);
  ASSERT_EQ(records.size(), 4u);
  for (std::size_t length = 0; length <= full.size(); ++length) {
    GffFile file;
    const bool opened = file.OpenBytes(
        std::vector<std::uint8_t>(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length)), LoadReport());
    EXPECT_EQ(opened, length >= 16) << "length " << length;
    EXPECT_EQ(Records(file), ExpectedPrefix(full, length, records)) << "length " << length;
  }
}

TEST(GffOpen, AnIndexChunkCutShortIsNotedOnceWithItsChunk) {
  // The index chunk that holds the tiles' positions and sizes is the last thing in the file.
  const std::vector<std::uint8_t> full = authoring::WriteContainer({{kTagTile, {{20, {1, 2}}, {21, {3}}}, true}});
  std::vector<LoadNote> notes;
  OpenBytes(full, true, &notes);
  EXPECT_TRUE(notes.empty());
  OpenBytes(std::vector<std::uint8_t>(full.begin(), full.end() - 1), true, &notes);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].kind, NoteKind::kIndexChunkCutShort);
  EXPECT_EQ(notes[0].tag, kTagGffi);
  ASSERT_TRUE(notes[0].chunk.has_value());
  EXPECT_EQ(std::uint64_t{notes[0].chunk->offset} + notes[0].chunk->size, full.size());
}

TEST(GffOpen, EveryTruncationOfAnIndexedFileOpensWithAPrefixOfItsRecords) {
  const std::vector<std::uint8_t> full = authoring::WriteContainer({
      {kTagBmp, {{1, {1}}, {2, {2}}, {3, {3}}, {7, {7}}}, true},
      {kTagOjff, {{5, std::vector<std::uint8_t>(16, 1)}}},
      {kTagCbmp, {{8, {8}}, {9, {9}}}, true},
  });
  const std::vector<RecordValues> records = Records(OpenBytes(full));
  ASSERT_EQ(records.size(), 4u);  // the index record comes first
  EXPECT_EQ(records[1].entries.size(), 4u);
  for (std::size_t length = 0; length <= full.size(); ++length) {
    GffFile file;
    file.OpenBytes(std::vector<std::uint8_t>(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length)),
                   LoadReport());
    const std::vector<RecordValues> kept = Records(file);
    ASSERT_LE(kept.size(), records.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
      EXPECT_EQ(kept[i].tag, records[i].tag) << "length " << length;
      EXPECT_LE(kept[i].entries.size(), records[i].entries.size()) << "length " << length;
    }
  }
}

TEST(GffOpen, HostileIndexCannotAllocateWithoutBound) {
  // Thousands of indexed records whose one run each re-reads the whole file as index pairs
  // would ask for billions of entries; the load's budget ends the directory long before.
  ByteWriter out;
  const std::uint32_t records = 4000;
  const std::uint32_t directoryLength = 10 + 20 + records * 28;
  const std::uint32_t fileLength = 16 + directoryLength;
  const std::uint32_t pairsInFile = (fileLength - 4) / 8;  // a run that stops just short of the end
  Header(out, 16);
  DirectoryHeader(out, directoryLength);
  IndexRecord(out, 0, 0, 0);
  for (std::uint32_t i = 0; i < records; ++i) {
    IndexedRecord(out, kTagTile, 1, 0, {{0, pairsInFile}});
  }
  ASSERT_EQ(out.size(), fileLength);
  const std::uint64_t fileSize = out.size();
  GffFile file = OpenBytes(out.take());
  std::uint64_t entries = 0;
  for (const ChunkType& type : file.directory()) {
    entries += static_cast<std::uint64_t>(type.entries->count());
  }
  const std::uint64_t budget = AllocationBudget::ForFileOfSize(fileSize).remaining();
  EXPECT_GT(entries, fileSize / 8);  // well past one pass over the file ...
  EXPECT_LE(entries * 64, budget);   // ... but within the budget
}

}  // namespace
}  // namespace karst

namespace karst {
namespace {

TEST(GffOpen, IndexChunkOutsideTheFileFailsTheStreamAndEndsTheDirectory) {
  // The run's seek to the index goes past the end and skipping its first 4 bytes fails; the
  // entry being read when the stream failed stays, with zeros, and nothing after it is read.
  ByteWriter out;
  Header(out, 16);
  DirectoryHeader(out, 10 + 20 + 28 + 20);
  IndexRecord(out, 0, 5000, 1);
  IndexedRecord(out, kTagBmp, 1, 0, {{5, 1}});
  PlainRecord(out, kTagPal, 0, {{1, 1, 1}});
  GffFile file = OpenBytes(out.take());
  const std::vector<RecordValues> records = Records(file);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1], (RecordValues{"BMP ", 1, kIndexedFlags, {{5, 0, 0}}}));
}

}  // namespace
}  // namespace karst
