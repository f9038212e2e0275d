#include "platform/channels.h"

#include <cstdio>
#include <utility>

namespace karst::platform {
namespace {

// Per thread, so a tool that decodes on several threads sees each thread's texts apart.
thread_local ChannelCapture* activeCapture = nullptr;

}  // namespace

ChannelCapture::ChannelCapture() : previous_(activeCapture) { activeCapture = this; }

ChannelCapture::~ChannelCapture() { activeCapture = previous_; }

std::vector<CapturedText> ChannelCapture::Take() { return std::exchange(texts_, {}); }

void WriteOutputLine(std::string_view text) {
  if (activeCapture != nullptr) {
    activeCapture->texts_.push_back({Channel::kOutputLine, std::string(text)});
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void WriteDebugText(std::string_view text) {
  if (activeCapture != nullptr) {
    activeCapture->texts_.push_back({Channel::kDebug, std::string(text)});
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace karst::platform
