#include "tools/inspect/load_notes.h"

#include <optional>
#include <string>

#include "tools/inspect/chunk_label.h"

namespace karst::tools {

std::string NoteLine(const LoadNote& note) {
  const std::optional<PrintedLine> line = PrintedLineOf(note);
  std::string text = line ? line->text : std::string();
  while (!text.empty() && text.back() == '\n') {
    text.pop_back();
  }
  return text;
}

void MoveNoteProblems(std::vector<LoadNote>& notes, std::vector<JobProblem>& problems) {
  for (const LoadNote& note : notes) {
    if (PrintedLineOf(note)) {
      problems.push_back({note.file, ProblemKind::kNote, NoteLine(note),
                          ChunkPlace(note.chunk ? ChunkLabel(note.tag, note.chunk->number) : "")});
    }
  }
  notes.clear();
}

}  // namespace karst::tools
