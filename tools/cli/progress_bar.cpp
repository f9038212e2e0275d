#include "tools/cli/progress_bar.h"

#include <algorithm>
#include <iostream>

namespace karst::tools {
namespace {

constexpr std::size_t kBarWidth = 30;

}  // namespace

JobContext::Listener ProgressBar::Listener() {
  return [this](const JobProgress& progress) { Show(progress); };
}

void ProgressBar::Show(const JobProgress& progress) {
  progress_ = progress;
  Draw();
}

void ProgressBar::Print(std::ostream& stream, const std::string& line) {
  Clear();
  stream << line << "\n";
  stream.flush();
  if (drawn_) {
    Draw();
  }
}

void ProgressBar::Finish() {
  if (shown_ && drawn_) {
    std::cerr << "\n";
    std::cerr.flush();
  }
  drawn_ = false;
}

void ProgressBar::Clear() {
  if (shown_ && drawn_) {
    std::cerr << "\r\x1b[K";
    std::cerr.flush();
  }
}

void ProgressBar::Draw() {
  if (!shown_) {
    return;
  }
  const std::size_t total = progress_.total;
  const std::size_t filled = total == 0 ? kBarWidth : std::min(progress_.done, total) * kBarWidth / total;
  std::string line = "[";
  for (std::size_t i = 0; i < kBarWidth; ++i) {
    line += i < filled ? '=' : (i == filled ? '>' : ' ');
  }
  line += "] " + std::to_string(progress_.done) + "/" + std::to_string(total) + " " + progress_.item;
  std::cerr << "\r\x1b[K" << line;
  std::cerr.flush();
  drawn_ = true;
}

}  // namespace karst::tools
