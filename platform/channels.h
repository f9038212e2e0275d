// The two text channels on which the viewer reports oddities in its data.
//
// The output line channel is the process's standard output: the text, a line feed, a flush.
// The debug channel stands in for the debugger output: standard error, the text exactly as
// given, no line end added.
//
// A `ChannelCapture` takes both channels over for the thread that made it, so a tool can
// attribute each diagnostic to the chunk being decoded instead of letting it reach the terminal.
// Other threads keep writing as usual.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace karst::platform {

void WriteOutputLine(std::string_view text);
void WriteDebugText(std::string_view text);

enum class Channel { kOutputLine, kDebug };

// One text sent to a channel: an output line without its line feed, or a debug text exactly as
// given (DebugPrintf's texts end in their own line feed).
struct CapturedText {
  Channel channel;
  std::string text;

  // The text without the line feeds that end it: one line as a person reads it.
  std::string Line() const {
    std::string line = text;
    while (!line.empty() && line.back() == '\n') {
      line.pop_back();
    }
    return line;
  }
};

// While alive, collects every text that its thread sends to either channel, in order, instead of
// writing it. Captures nest: the newest one of a thread collects, and the one before it takes
// over again when it ends. A capture must end on the thread that made it, newest first.
class ChannelCapture {
 public:
  ChannelCapture();
  ~ChannelCapture();
  ChannelCapture(const ChannelCapture&) = delete;
  ChannelCapture& operator=(const ChannelCapture&) = delete;

  const std::vector<CapturedText>& texts() const { return texts_; }
  // Hands over what was collected so far and goes on collecting into an empty list.
  std::vector<CapturedText> Take();

 private:
  friend void WriteOutputLine(std::string_view text);
  friend void WriteDebugText(std::string_view text);

  ChannelCapture* previous_;
  std::vector<CapturedText> texts_;
};

}  // namespace karst::platform
