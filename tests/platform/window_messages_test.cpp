// SDL input events as window messages, the queue's order and filters, the quit message,
// translation, dispatch and waiting.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/platform/window_test_support.h"

namespace karst::platform {
namespace {

using testing::CleanWindowSystem;
using testing::MakeWindow;
using testing::PushKey;
using testing::PushMouse;
using testing::PushWindowEvent;
using testing::QuittingProc;
using testing::Received;
using testing::TakeAll;

struct KeyCase {
  SDL_Keycode key;
  WParam virtualKey;
};

TEST(KeyMessageTest, KeysGiveTheirVirtualKeyCodes) {
  CleanWindowSystem clean;
  Window* window = MakeWindow();
  ASSERT_NE(window, nullptr);
  const KeyCase cases[] = {
      {SDLK_BACKSPACE, 8}, {SDLK_ESCAPE, 27}, {SDLK_SPACE, 32}, {SDLK_LEFT, 37},   {SDLK_UP, 38},
      {SDLK_RIGHT, 39},    {SDLK_DOWN, 40},   {SDLK_a, 'A'},    {SDLK_z, 'Z'},     {SDLK_0, '0'},
      {SDLK_9, '9'},       {SDLK_RETURN, 13}, {SDLK_TAB, 9},    {SDLK_F1, 112},    {SDLK_F12, 123},
      {SDLK_KP_0, 96},     {SDLK_KP_9, 105},  {SDLK_HOME, 36},  {SDLK_MUTE, 0xFF},
  };
  TakeAll();
  for (const KeyCase& c : cases) {
    PushKey(window, c.key);
  }
  const std::vector<Message> messages = TakeAll();
  ASSERT_EQ(messages.size(), std::size(cases));
  for (std::size_t i = 0; i < messages.size(); ++i) {
    SCOPED_TRACE(SDL_GetKeyName(cases[i].key));
    EXPECT_EQ(messages[i].window, window);
    EXPECT_EQ(messages[i].message, WM_KEYDOWN);
    EXPECT_EQ(messages[i].wParam, cases[i].virtualKey);
    EXPECT_EQ(messages[i].lParam, 1) << "repeat count 1, not a repeat";
  }
}

TEST(KeyMessageTest, AutoRepeatStillGivesKeyDown) {
  CleanWindowSystem clean;
  Window* window = MakeWindow();
  ASSERT_NE(window, nullptr);
  TakeAll();
  PushKey(window, SDLK_RIGHT);
  PushKey(window, SDLK_RIGHT, true);
  PushKey(window, SDLK_RIGHT, true);
  const std::vector<Message> messages = TakeAll();
  ASSERT_EQ(messages.size(), 3u);
  for (const Message& message : messages) {
    EXPECT_EQ(message.message, WM_KEYDOWN);
    EXPECT_EQ(message.wParam, VK_RIGHT);
  }
  EXPECT_EQ(messages[0].lParam & (LParam{1} << 30), 0);
  EXPECT_NE(messages[1].lParam & (LParam{1} << 30), 0) << "bit 30: the key was already down";
}

TEST(KeyMessageTest, KeyUpAndUnhandledEventsAreDropped) {
  CleanWindowSystem clean;
  Window* window = MakeWindow();
  ASSERT_NE(window, nullptr);
  TakeAll();
  SDL_Event up{};
  up.type = SDL_KEYUP;
  up.key.windowID = testing::IdOf(window);
  up.key.keysym.sym = SDLK_SPACE;
  SDL_PushEvent(&up);
  PushWindowEvent(window, SDL_WINDOWEVENT_MOVED);
  PushKey(window, SDLK_SPACE);
  const std::vector<Message> messages = TakeAll();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, WM_KEYDOWN);
}

struct MouseCase {
  int x, y;
  LParam expectedX, expectedY;
};

TEST(MouseMessageTest, PositionIsClampedIntoThePicture) {
  CleanWindowSystem clean;
  Window* window = MakeWindow();
  ASSERT_NE(window, nullptr);
  const MouseCase cases[] = {
      {-5, -1, 0, 0},        // left and top letterbox border
      {0, 0, 0, 0},          // the corner itself
      {320, 240, 320, 240},  // inside
      {639, 479, 639, 479},  // the last pixel just fits
      {640, 480, 639, 479},  // one beyond clamps back
      {700, 900, 639, 479},  // right and bottom border
      {-300, 479, 0, 479},
  };
  TakeAll();
  for (const MouseCase& c : cases) {
    PushMouse(window, c.x, c.y);
  }
  const std::vector<Message> messages = TakeAll();
  ASSERT_EQ(messages.size(), std::size(cases));
  for (std::size_t i = 0; i < messages.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << cases[i].x << "," << cases[i].y);
    EXPECT_EQ(messages[i].message, WM_MOUSEMOVE);
    EXPECT_EQ(messages[i].lParam & 0xFFFF, cases[i].expectedX);
    EXPECT_EQ(messages[i].lParam >> 16, cases[i].expectedY);
  }
}

TEST(MouseMessageTest, HeldButtonsGoToWParam) {
  CleanWindowSystem clean;
  Window* window = MakeWindow();
  ASSERT_NE(window, nullptr);
  TakeAll();
  SDL_Event event{};
  event.type = SDL_MOUSEMOTION;
  event.motion.windowID = testing::IdOf(window);
  event.motion.state = SDL_BUTTON_LMASK | SDL_BUTTON_MMASK;
  SDL_PushEvent(&event);
  const std::vector<Message> messages = TakeAll();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].wParam, MK_LBUTTON | MK_MBUTTON);
}

TEST(ActivationMessageTest, FocusGainedAndLost) {
  CleanWindowSystem clean;
  Window* window = MakeWindow();
  ASSERT_NE(window, nullptr);
  TakeAll();
  PushWindowEvent(window, SDL_WINDOWEVENT_FOCUS_GAINED);
  PushWindowEvent(window, SDL_WINDOWEVENT_FOCUS_LOST);
  const std::vector<Message> messages = TakeAll();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].message, WM_ACTIVATEAPP);
  EXPECT_EQ(messages[0].wParam, 1u);
  EXPECT_EQ(messages[1].message, WM_ACTIVATEAPP);
  EXPECT_EQ(messages[1].wParam, 0u);
}

TEST(CloseMessageTest, CloseRequestDestroysThroughTheDefaultProcedure) {
  CleanWindowSystem clean;
  Window* window = MakeWindow("Viewer", QuittingProc);
  ASSERT_NE(window, nullptr);
  TakeAll();
  PushWindowEvent(window, SDL_WINDOWEVENT_CLOSE);
  PushKey(window, SDLK_SPACE);  // still queued when the window goes

  Message message{};
  ASSERT_EQ(GetMessage(message, nullptr, 0, 0), 1);
  EXPECT_EQ(message.message, WM_CLOSE);
  EXPECT_EQ(message.window, window);
  Received().clear();
  EXPECT_EQ(DispatchMessage(message), 0);
  ASSERT_EQ(Received().size(), 2u) << "WM_DESTROY arrives inside the dispatch, not queued";
  EXPECT_EQ(Received()[0].message, WM_CLOSE);
  EXPECT_EQ(Received()[1].message, WM_DESTROY);
  EXPECT_EQ(NativeWindow(window), nullptr);

  // The window's queued key went with it; the quit message is all that is left.
  ASSERT_EQ(GetMessage(message, nullptr, 0, 0), 0);
  EXPECT_EQ(message.message, WM_QUIT);
  EXPECT_EQ(message.window, nullptr);
  EXPECT_EQ(message.wParam, 0u);
}

TEST(CloseMessageTest, SdlQuitClosesTheOldestWindow) {
  CleanWindowSystem clean;
  Window* main = MakeWindow("Main");
  Window* other = MakeWindow("Other");
  ASSERT_NE(main, nullptr);
  ASSERT_NE(other, nullptr);
  TakeAll();
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  const std::vector<Message> messages = TakeAll();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, WM_CLOSE);
  EXPECT_EQ(messages[0].window, main);
}

TEST(QuitMessageTest, ComesAfterEverythingAlreadyQueued) {
  CleanWindowSystem clean;
  Window* window = MakeWindow();
  ASSERT_NE(window, nullptr);
  TakeAll();
  PushKey(window, SDLK_LEFT);
  Message message{};
  ASSERT_EQ(PeekMessage(message, nullptr, 0, 0, PM_NOREMOVE), 1);  // now in our queue
  PostQuitMessage(7);
  PushKey(window, SDLK_RIGHT);  // input that arrives before the quit is fetched comes first too

  ASSERT_EQ(GetMessage(message, nullptr, 0, 0), 1);
  EXPECT_EQ(message.wParam, VK_LEFT);
  ASSERT_EQ(GetMessage(message, nullptr, 0, 0), 1);
  EXPECT_EQ(message.wParam, VK_RIGHT);
  ASSERT_EQ(GetMessage(message, nullptr, 0, 0), 0);
  EXPECT_EQ(message.message, WM_QUIT);
  EXPECT_EQ(message.wParam, 7u);
  EXPECT_EQ(PeekMessage(message, nullptr, 0, 0, PM_REMOVE), 0) << "the quit message is taken once";
}

TEST(QuitMessageTest, PeekWithoutRemovalLeavesIt) {
  CleanWindowSystem clean;
  PostQuitMessage(3);
  Message message{};
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(PeekMessage(message, nullptr, 0, 0, PM_NOREMOVE), 1);
    EXPECT_EQ(message.message, WM_QUIT);
    EXPECT_EQ(message.wParam, 3u);
  }
  ASSERT_EQ(PeekMessage(message, nullptr, 0, 0, PM_REMOVE), 1);
  EXPECT_EQ(PeekMessage(message, nullptr, 0, 0, PM_NOREMOVE), 0);
}

TEST(PeekMessageTest, PeekWithoutRemovalLeavesTheMessage) {
  CleanWindowSystem clean;
  Window* window = MakeWindow();
  ASSERT_NE(window, nullptr);
  TakeAll();
  PushKey(window, SDLK_ESCAPE);
  Message message{};
  ASSERT_EQ(PeekMessage(message, nullptr, 0, 0, PM_NOREMOVE), 1);
  ASSERT_EQ(PeekMessage(message, nullptr, 0, 0, PM_NOREMOVE), 1);
  EXPECT_EQ(message.wParam, VK_ESCAPE);
  ASSERT_EQ(PeekMessage(message, nullptr, 0, 0, PM_REMOVE), 1);
  EXPECT_EQ(message.wParam, VK_ESCAPE);
  EXPECT_EQ(PeekMessage(message, nullptr, 0, 0, PM_NOREMOVE), 0);
}

TEST(PeekMessageTest, WindowAndRangeFilters) {
  CleanWindowSystem clean;
  Window* first = MakeWindow("First");
  Window* second = MakeWindow("Second");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  TakeAll();
  PushMouse(first, 1, 2);
  PushKey(second, SDLK_UP);
  PushKey(first, SDLK_DOWN);

  Message message{};
  ASSERT_EQ(PeekMessage(message, second, 0, 0, PM_REMOVE), 1);
  EXPECT_EQ(message.wParam, VK_UP);
  EXPECT_EQ(PeekMessage(message, second, 0, 0, PM_REMOVE), 0);
  ASSERT_EQ(PeekMessage(message, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE), 1);
  EXPECT_EQ(message.wParam, VK_DOWN) << "the earlier mouse move lies outside the range";
  EXPECT_EQ(PeekMessage(message, nullptr, WM_KEYDOWN, WM_CHAR, PM_REMOVE), 0);
  ASSERT_EQ(PeekMessage(message, first, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE), 1);
  EXPECT_EQ(message.lParam, 1 | (2 << 16));
}

TEST(TranslateMessageTest, TypingKeysQueueACharacterNext) {
  CleanWindowSystem clean;
  Window* window = MakeWindow();
  ASSERT_NE(window, nullptr);
  TakeAll();
  PushKey(window, SDLK_q);
  PushKey(window, SDLK_LEFT);
  PushKey(window, SDLK_SPACE);

  std::vector<Message> seen;
  Message message{};
  while (PeekMessage(message, nullptr, 0, 0, PM_REMOVE) == 1) {
    seen.push_back(message);
    EXPECT_EQ(TranslateMessage(message) != 0, message.message == WM_KEYDOWN)
        << "every key-down counts as translated, a character does not";
  }
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_EQ(seen[0].message, WM_KEYDOWN);
  EXPECT_EQ(seen[1].message, WM_CHAR);
  EXPECT_EQ(seen[1].wParam, static_cast<WParam>('q'));
  EXPECT_EQ(seen[1].window, window);
  EXPECT_EQ(seen[2].wParam, VK_LEFT) << "an arrow types nothing";
  EXPECT_EQ(seen[3].wParam, VK_SPACE);
  EXPECT_EQ(seen[4].message, WM_CHAR);
  EXPECT_EQ(seen[4].wParam, static_cast<WParam>(' '));
}

TEST(TranslateMessageTest, OtherMessagesAreNotTranslated) {
  CleanWindowSystem clean;
  Window* window = MakeWindow();
  ASSERT_NE(window, nullptr);
  TakeAll();
  EXPECT_EQ(TranslateMessage(Message{window, WM_MOUSEMOVE, 0, 0}), 0);
  EXPECT_EQ(TranslateMessage(Message{window, WM_CHAR, 'a', 1}), 0);
  Message message{};
  EXPECT_EQ(PeekMessage(message, nullptr, 0, 0, PM_NOREMOVE), 0);
}

LResult AnsweringProc(Window* window, std::uint32_t message, WParam wParam, LParam lParam) {
  testing::RecordingProc(window, message, wParam, lParam);
  return message == WM_KEYDOWN ? static_cast<LResult>(wParam) * 2 : 0;
}

TEST(DispatchMessageTest, ReturnsTheProcedureResult) {
  CleanWindowSystem clean;
  Window* window = MakeWindow("Answering", AnsweringProc);
  ASSERT_NE(window, nullptr);
  Received().clear();
  EXPECT_EQ(DispatchMessage(Message{window, WM_KEYDOWN, VK_UP, 1}), 2 * VK_UP);
  EXPECT_EQ(DispatchMessage(Message{nullptr, WM_QUIT, 0, 0}), 0);
  ASSERT_EQ(Received().size(), 1u);
  EXPECT_EQ(Received()[0].lParam, 1);
}

TEST(DefWindowProcTest, AnswersZeroAndDestroysOnlyOnClose) {
  CleanWindowSystem clean;
  Window* window = MakeWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(DefWindowProc(window, WM_KEYDOWN, VK_ESCAPE, 1), 0);
  EXPECT_EQ(DefWindowProc(window, WM_ACTIVATEAPP, 1, 0), 0);
  EXPECT_NE(NativeWindow(window), nullptr);
  EXPECT_EQ(DefWindowProc(window, WM_CLOSE, 0, 0), 0);
  EXPECT_EQ(NativeWindow(window), nullptr);
}

TEST(WaitMessageTest, ReturnsAtOnceWhenSomethingIsQueued) {
  CleanWindowSystem clean;
  Window* window = MakeWindow();
  ASSERT_NE(window, nullptr);
  TakeAll();
  PushKey(window, SDLK_SPACE);
  EXPECT_EQ(WaitMessage(), 1);  // an SDL event not yet fetched
  Message message{};
  ASSERT_EQ(PeekMessage(message, nullptr, 0, 0, PM_NOREMOVE), 1);
  EXPECT_EQ(WaitMessage(), 1);  // a message in our queue
  TakeAll();
  PostQuitMessage(0);
  EXPECT_EQ(WaitMessage(), 1);  // the quit message
}

// A message posted from another thread wakes the waiting queue and reaches its window as
// posted; one whose window went before the queue was read is dropped, never dispatched.
TEST(PostMessageTest, ArrivesFromAnotherThreadOnlyForALiveWindow) {
  CleanWindowSystem clean;
  Window* window = MakeWindow();
  Window* goingWindow = MakeWindow("Going");
  ASSERT_NE(window, nullptr);
  ASSERT_NE(goingWindow, nullptr);
  TakeAll();
  std::thread poster([window, goingWindow] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    PostMessage(goingWindow, WM_FOLDERCHANGED, 7);
    PostMessage(window, WM_FOLDERCHANGED, 5);
  });
  EXPECT_EQ(WaitMessage(), 1);
  poster.join();
  DestroyWindow(goingWindow);
  const std::vector<Message> taken = TakeAll();
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0].window, window);
  EXPECT_EQ(taken[0].message, WM_FOLDERCHANGED);
  EXPECT_EQ(taken[0].wParam, 5u);
  EXPECT_EQ(taken[0].lParam, 0);
}

TEST(WaitMessageTest, WakesForAnEventFromAnotherThread) {
  CleanWindowSystem clean;
  Window* window = MakeWindow();
  ASSERT_NE(window, nullptr);
  TakeAll();
  const Uint32 id = testing::IdOf(window);
  std::thread pusher([id] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.windowID = id;
    event.key.keysym.sym = SDLK_DOWN;
    SDL_PushEvent(&event);
  });
  const int woken = WaitMessage();
  pusher.join();
  EXPECT_EQ(woken, 1);
  Message message{};
  ASSERT_EQ(GetMessage(message, nullptr, 0, 0), 1);
  EXPECT_EQ(message.wParam, VK_DOWN);
}

TEST(WaitMessageTest, NothingCanArriveWithoutAWindow) {
  CleanWindowSystem clean;
  EXPECT_EQ(WaitMessage(), 0);
  Message message{};
  EXPECT_EQ(GetMessage(message, nullptr, 0, 0), -1);
}

}  // namespace
}  // namespace karst::platform
