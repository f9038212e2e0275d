#include "display/printed_notes.h"

#include <optional>

#include "platform/channels.h"

namespace karst {

void PrintNote(const LoadNote& note) {
  const std::optional<PrintedLine> line = PrintedLineOf(note);
  if (!line) {
    return;
  }
  if (line->channel == LineChannel::kOutputLine) {
    platform::WriteOutputLine(line->text);
  } else {
    platform::WriteDebugText(line->text);
  }
}

LoadReport PrintedNotes() {
  return LoadReport([](void*, const LoadNote& note) { PrintNote(note); }, nullptr);
}

}  // namespace karst
