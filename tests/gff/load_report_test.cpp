// Notes: where a report places them, and the line the viewer prints for each kind.
#include "gff/load_report.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/gff/frame_fixtures.h"

namespace karst {
namespace {

TEST(LoadReport, NarrowingPlacesEveryNote) {
  std::vector<LoadNote> notes;
  const LoadReport file = LoadReport::Into(notes).ForFile("RGN01.GFF");
  const LoadReport frame = file.ForChunk(kTagBmp, ChunkEntry{7, 100, 20}).ForFrame(2);
  frame.Note(NoteKind::kFirstRowNotZero, 3);
  frame.ForType(kTagGffi).Note(NoteKind::kIndexedBeforeGffi);
  file.Note(NoteKind::kUnknownEncoding, 0, MakeTag("ABCD"));
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_EQ(notes[0].file, "RGN01.GFF");
  EXPECT_EQ(notes[0].tag, kTagBmp);
  ASSERT_TRUE(notes[0].chunk.has_value());
  EXPECT_EQ(notes[0].chunk->number, 7u);
  EXPECT_EQ(notes[0].chunk->offset, 100u);
  EXPECT_EQ(notes[0].frame, 2u);
  EXPECT_EQ(notes[0].value, 3u);
  // A type of its own drops the chunk and the frame.
  EXPECT_EQ(notes[1].tag, kTagGffi);
  EXPECT_FALSE(notes[1].chunk.has_value());
  EXPECT_FALSE(notes[1].frame.has_value());
  EXPECT_EQ(notes[2].detail, MakeTag("ABCD"));
  EXPECT_FALSE(notes[2].chunk.has_value());
}

TEST(LoadReport, TheViewersLineForEveryKind) {
  struct Case {
    NoteKind kind;
    std::optional<LineChannel> channel;
    std::string text;
  };
  const Case cases[] = {
      {NoteKind::kIndexedBeforeGffi, LineChannel::kOutputLine, "It's a GFFI But we don't got no GFFI yet!!"},
      {NoteKind::kUnknownEncoding, LineChannel::kOutputLine, "Unknown type: PL"},
      {NoteKind::kSegmentOverrun, LineChannel::kOutputLine, "Something peculiar happened!"},
      {NoteKind::kDataRanOut, LineChannel::kOutputLine, "We ran outta space!"},
      {NoteKind::kFirstRowNotZero, LineChannel::kDebug, "Y offset: 254 is different!\n"},
      {NoteKind::kTileWithSeveralFrames, LineChannel::kDebug, "Tile with more than one frame!"},
      {NoteKind::kChunkPassedOver, std::nullopt, ""},
      {NoteKind::kChunkCutShort, std::nullopt, ""},
      {NoteKind::kPaletteRejected, std::nullopt, ""},
      {NoteKind::kEntityWithoutBitmap, std::nullopt, ""},
  };
  for (const Case& c : cases) {
    LoadNote note;
    note.kind = c.kind;
    note.value = 254;
    note.detail = Tag{'P', 'L', '\0', 'N', '\0'};  // the text stops at a zero byte
    const std::optional<PrintedLine> line = PrintedLineOf(note);
    ASSERT_EQ(line.has_value(), c.channel.has_value()) << c.text;
    if (line) {
      EXPECT_EQ(line->channel, *c.channel) << c.text;
      EXPECT_EQ(line->text, c.text);
    }
  }
}

TEST(LoadReport, DecoderNotesNameTheirFrame) {
  // Frame 0 is not the payload's last 5 bytes, so frame 1's first bytes are its tag; frame 1 is
  // tagged "ABCD". Each unknown encoding is noted at its own frame.
  const std::vector<std::uint8_t> payload = frame_tests::Bytes({0,  0, 0, 0, 2,    0,            // F = 2
                                                                14, 0, 0, 0, 19,   0,   0,   0,  // frames at 14 and 19
                                                                1,  0, 1, 0, 0xFF,               // 14: 1 x 1, 255
                                                                1,  0, 1, 0, 0xFF, 'A', 'B', 'C', 'D'});
  const frame_tests::DecodedSet decoded = frame_tests::DecodeSet(payload);
  ASSERT_EQ(decoded.notes.size(), 2u);
  EXPECT_EQ(decoded.notes[0].frame, 0u);
  EXPECT_EQ(decoded.notes[1].frame, 1u);
  EXPECT_EQ(decoded.notes[1].kind, NoteKind::kUnknownEncoding);
  EXPECT_EQ(decoded.notes[1].detail, MakeTag("ABCD"));
}

}  // namespace
}  // namespace karst
