// Window classes, window creation and destruction, and the fault switch on both.
#include <gtest/gtest.h>

#include "tests/platform/window_test_support.h"

namespace karst::platform {
namespace {

using testing::CleanWindowSystem;
using testing::MakeWindow;
using testing::Received;
using testing::RecordingProc;
using testing::TestClass;

LResult RefusingProc(Window* window, std::uint32_t message, WParam wParam, LParam lParam) {
  RecordingProc(window, message, wParam, lParam);
  return message == WM_CREATE ? -1 : 0;
}

LResult SelfDestroyingProc(Window* window, std::uint32_t message, WParam wParam, LParam lParam) {
  RecordingProc(window, message, wParam, lParam);
  if (message == WM_CREATE) {
    EXPECT_EQ(DestroyWindow(window), 1);
  }
  if (message == WM_DESTROY) {
    EXPECT_EQ(DestroyWindow(window), 0) << "a window is destroyed once";
  }
  return 0;
}

Window* Create(const char* className, void* param = nullptr) {
  return CreateWindowEx(WS_EX_TOPMOST, className, "title", WS_POPUP, 0, 0, 640, 480, nullptr, MenuHandle{},
                        InstanceHandle{}, param);
}

TEST(WindowClassTest, RegistersOnceByNameWithoutRegardToCase) {
  CleanWindowSystem clean;
  const std::uint16_t atom = RegisterClass(TestClass("Karst Map Viewer", RecordingProc));
  EXPECT_GE(atom, 0xC000);
  EXPECT_EQ(RegisterClass(TestClass("Karst Map Viewer", RecordingProc)), 0);
  EXPECT_EQ(RegisterClass(TestClass("KARST MAP VIEWER", RecordingProc)), 0);
  const std::uint16_t other = RegisterClass(TestClass("Other", RecordingProc));
  EXPECT_NE(other, 0);
  EXPECT_NE(other, atom);
}

TEST(WindowClassTest, RejectsMissingNameOrProcedure) {
  CleanWindowSystem clean;
  EXPECT_EQ(RegisterClass(TestClass(nullptr, RecordingProc)), 0);
  EXPECT_EQ(RegisterClass(TestClass("", RecordingProc)), 0);
  EXPECT_EQ(RegisterClass(TestClass("No procedure", nullptr)), 0);
}

TEST(WindowClassTest, ResetForgetsClasses) {
  {
    CleanWindowSystem clean;
    ASSERT_NE(RegisterClass(TestClass("Again", RecordingProc)), 0);
  }
  CleanWindowSystem clean;
  EXPECT_NE(RegisterClass(TestClass("Again", RecordingProc)), 0);
}

TEST(WindowClassTest, FaultSwitchFailsRegistrationOnce) {
  CleanWindowSystem clean;
  FailCall("RegisterClass");
  EXPECT_EQ(RegisterClass(TestClass("Faulty", RecordingProc)), 0);
  EXPECT_NE(RegisterClass(TestClass("Faulty", RecordingProc)), 0) << "the failed call registered nothing";
}

TEST(WindowResourceTest, NoIconAndTheStandardArrow) {
  EXPECT_EQ(LoadIcon(GetModuleHandle(nullptr), IDI_APPLICATION), IconHandle{});
  EXPECT_NE(LoadCursor(InstanceHandle{}, IDC_ARROW), CursorHandle{});
  EXPECT_EQ(LoadCursor(GetModuleHandle(nullptr), IDC_ARROW), CursorHandle{});
  EXPECT_EQ(LoadCursor(InstanceHandle{}, 32513), CursorHandle{});
  EXPECT_NE(GetModuleHandle(nullptr), InstanceHandle{});
}

TEST(CreateWindowTest, SendsCreateBeforeReturningAndNeedsNoVideo) {
  CleanWindowSystem clean;
  ASSERT_NE(RegisterClass(TestClass("Viewer", RecordingProc)), 0);
  int creationData = 0;
  Window* window = Create("viewer", &creationData);
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(Received().size(), 1u);
  EXPECT_EQ(Received()[0].window, window);
  EXPECT_EQ(Received()[0].message, WM_CREATE);
  EXPECT_EQ(Received()[0].lParam, reinterpret_cast<LParam>(&creationData));
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u) << "no display has taken the window";
  EXPECT_EQ(NativeWindow(window), nullptr);
  EXPECT_TRUE(IsWindowHandle(window));
  Message message{};
  EXPECT_EQ(WaitMessage(), 0) << "no input can come to a window on no display";
  EXPECT_EQ(GetMessage(message, nullptr, 0, 0), -1);
  EXPECT_EQ(DestroyWindow(window), 1);
  EXPECT_FALSE(IsWindowHandle(window));
}

TEST(CreateWindowTest, TheDisplayMakesAHiddenBorderlessSdlWindowOnce) {
  CleanWindowSystem clean;
  ASSERT_NE(RegisterClass(TestClass("Viewer", RecordingProc)), 0);
  Window* window = Create("viewer");
  ASSERT_NE(window, nullptr);
  SDL_Window* native = OpenNativeWindow(window);
  ASSERT_NE(native, nullptr);
  EXPECT_EQ(OpenNativeWindow(window), native);
  EXPECT_EQ(NativeWindow(window), native);
  EXPECT_NE(SDL_WasInit(SDL_INIT_VIDEO), 0u);
  const Uint32 flags = SDL_GetWindowFlags(native);
  EXPECT_NE(flags & SDL_WINDOW_HIDDEN, 0u);
  EXPECT_NE(flags & SDL_WINDOW_BORDERLESS, 0u);
  int width = 0;
  int height = 0;
  SDL_GetWindowSize(native, &width, &height);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  EXPECT_STREQ(SDL_GetWindowTitle(native), "title");
  EXPECT_STREQ(SDL_GetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS), "0");
  EXPECT_EQ(DestroyWindow(window), 1);
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
  EXPECT_EQ(OpenNativeWindow(window), nullptr) << "a destroyed window gets no SDL window";
  EXPECT_EQ(OpenNativeWindow(nullptr), nullptr);
}

TEST(CreateWindowTest, UnknownClassGivesNull) {
  CleanWindowSystem clean;
  EXPECT_EQ(Create("Never registered"), nullptr);
  EXPECT_EQ(Create(nullptr), nullptr);
  EXPECT_TRUE(Received().empty());
}

TEST(CreateWindowTest, FaultSwitchFailsCreationWithoutMessages) {
  CleanWindowSystem clean;
  ASSERT_NE(RegisterClass(TestClass("Viewer", RecordingProc)), 0);
  FailCall("CreateWindow");
  EXPECT_EQ(Create("Viewer"), nullptr);
  EXPECT_TRUE(Received().empty());
  EXPECT_NE(Create("Viewer"), nullptr);
}

TEST(CreateWindowTest, CreateAnsweredWithMinusOneDestroysTheWindow) {
  CleanWindowSystem clean;
  ASSERT_NE(RegisterClass(TestClass("Refusing", RefusingProc)), 0);
  EXPECT_EQ(Create("Refusing"), nullptr);
  ASSERT_EQ(Received().size(), 2u);
  EXPECT_EQ(Received()[0].message, WM_CREATE);
  EXPECT_EQ(Received()[1].message, WM_DESTROY);
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u) << "no window is left";
}

TEST(CreateWindowTest, WindowDestroyedDuringCreateGivesNull) {
  CleanWindowSystem clean;
  ASSERT_NE(RegisterClass(TestClass("Short-lived", SelfDestroyingProc)), 0);
  EXPECT_EQ(Create("Short-lived"), nullptr);
  ASSERT_EQ(Received().size(), 2u);
  EXPECT_EQ(Received()[1].message, WM_DESTROY);
}

TEST(DestroyWindowTest, SendsDestroyAtOnceAndInvalidatesTheHandle) {
  CleanWindowSystem clean;
  Window* window = MakeWindow();
  ASSERT_NE(window, nullptr);
  Received().clear();

  EXPECT_EQ(DestroyWindow(window), 1);
  ASSERT_EQ(Received().size(), 1u);
  EXPECT_EQ(Received()[0].message, WM_DESTROY);
  EXPECT_EQ(Received()[0].window, window);

  EXPECT_EQ(NativeWindow(window), nullptr);
  EXPECT_EQ(DestroyWindow(window), 0);
  EXPECT_EQ(DispatchMessage(Message{window, WM_KEYDOWN, VK_SPACE, 1}), 0);
  EXPECT_EQ(Received().size(), 1u) << "nothing reaches a destroyed window";
}

TEST(DestroyWindowTest, VideoIsHeldExactlyWhileWindowsExist) {
  CleanWindowSystem clean;
  ASSERT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
  Window* first = MakeWindow("First");
  Window* second = MakeWindow("Second");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(SDL_WasInit(SDL_INIT_VIDEO), 0u);
  EXPECT_EQ(DestroyWindow(first), 1);
  EXPECT_NE(SDL_WasInit(SDL_INIT_VIDEO), 0u);
  EXPECT_EQ(DestroyWindow(second), 1);
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
  EXPECT_NE(MakeWindow("Third"), nullptr) << "video starts again for a new window";
}

TEST(DestroyWindowTest, NullHandleFails) {
  CleanWindowSystem clean;
  EXPECT_EQ(DestroyWindow(nullptr), 0);
  EXPECT_EQ(NativeWindow(nullptr), nullptr);
}

}  // namespace
}  // namespace karst::platform
