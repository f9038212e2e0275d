#include "tools/cli/shown_notes.h"

#include <optional>
#include <string>
#include <string_view>

#include "platform/channels.h"
#include "tools/text/name_text.h"

namespace karst::tools {

void PrintShownNote(const LoadNote& note) {
  const std::optional<PrintedLine> line = PrintedLineOf(note);
  if (!line) {
    return;
  }
  // The line ends the viewer writes stay line ends.
  const std::string_view text = line->text;
  const std::size_t end = text.find_last_not_of('\n') + 1;
  const std::string shown = ShownText(text.substr(0, end)) + std::string(text.substr(end));
  if (line->channel == LineChannel::kOutputLine) {
    platform::WriteOutputLine(shown);
  } else {
    platform::WriteDebugText(shown);
  }
}

}  // namespace karst::tools
