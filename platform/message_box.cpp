#include "platform/message_box.h"

#include "platform/channels.h"
#include "platform/fault_injection.h"
#include "platform/native_window.h"

namespace karst::platform {
namespace {

struct MessageBoxCapture {
  bool capturing = false;
  std::vector<CapturedMessageBox> boxes;
};

MessageBoxCapture& Capture() {
  static MessageBoxCapture capture;
  return capture;
}

}  // namespace

int MessageBox(Window* owner, const char* text, const char* caption, std::uint32_t type) {
  if (ShouldFail("MessageBox")) {
    return 0;
  }
  const std::string shownText = text != nullptr ? text : "";
  const std::string shownCaption = caption != nullptr ? caption : "Error";
  MessageBoxCapture& capture = Capture();
  if (capture.capturing) {
    capture.boxes.push_back(CapturedMessageBox{owner, shownText, shownCaption, type});
    return IDOK;
  }
  if (!ShowNativeMessageBox(owner, shownText, shownCaption)) {
    WriteDebugText(shownCaption + ": " + shownText + "\n");
  }
  return IDOK;
}

void CaptureMessageBoxes(bool capture) {
  MessageBoxCapture& state = Capture();
  state.capturing = capture;
  state.boxes.clear();
}

const std::vector<CapturedMessageBox>& CapturedMessageBoxes() { return Capture().boxes; }

}  // namespace karst::platform
