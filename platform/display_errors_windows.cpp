#include "platform/display_errors.h"

namespace karst::platform {

void DropLateWakeupErrors() {}

}  // namespace karst::platform
