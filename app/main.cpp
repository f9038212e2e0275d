// The viewer program: no arguments, no settings; the exit code is always 0.
#include "app/map_viewer_app.h"

int main() { return karst::ViewerMain(karst::platform::GetModuleHandle(nullptr)); }
