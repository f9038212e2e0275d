#include "workbench/window/workbench_window.h"

#include <SDL.h>
#include <backends/imgui_impl_sdl.h>
#include <backends/imgui_impl_sdlrenderer.h>
#include <imgui.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/font_file.h"
#include "workbench/model/settings.h"
#include "workbench/model/workbench.h"
#include "workbench/window/panels.h"

namespace karst::workbench {
namespace {

struct WindowDeleter {
  void operator()(SDL_Window* window) const { SDL_DestroyWindow(window); }
};
struct RendererDeleter {
  void operator()(SDL_Renderer* renderer) const { SDL_DestroyRenderer(renderer); }
};

// SDL's video, started and ended with the program.
class VideoSystem {
 public:
  VideoSystem() {
    SDL_SetMainReady();
    // Zoomed map pixels stay whole squares under display scaling: the window has the monitor's
    // own pixels, and the interface is scaled instead.
    SDL_SetHint("SDL_WINDOWS_DPI_AWARENESS", "permonitorv2");
    ready_ = SDL_Init(SDL_INIT_VIDEO) == 0;
  }
  ~VideoSystem() { SDL_Quit(); }
  VideoSystem(const VideoSystem&) = delete;
  VideoSystem& operator=(const VideoSystem&) = delete;
  bool ready() const { return ready_; }

 private:
  bool ready_ = false;
};

// Dear ImGui's context and its SDL back ends, for one window and renderer.
class ImGuiSession {
 public:
  ImGuiSession(SDL_Window* window, SDL_Renderer* renderer) {
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    // The window's settings are the workbench's own file; ImGui writes none.
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    ImGui::StyleColorsDark();
    ImGui_ImplSDL2_InitForSDLRenderer(window);
    ImGui_ImplSDLRenderer_Init(renderer);
  }
  ~ImGuiSession() {
    ImGui_ImplSDLRenderer_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext();
  }
  ImGuiSession(const ImGuiSession&) = delete;
  ImGuiSession& operator=(const ImGuiSession&) = delete;
};

// The interface's scale: 1 at 96 dots per inch.
float InterfaceScale(SDL_Window* window) {
  float dpi = 0;
  if (SDL_GetDisplayDPI(SDL_GetWindowDisplayIndex(window), &dpi, nullptr, nullptr) != 0 || dpi <= 0) {
    return 1.0f;
  }
  return std::clamp(dpi / 96.0f, 1.0f, 4.0f);
}

}  // namespace

void UseInterfaceFont(float scale) {
  ImGuiIO& io = ImGui::GetIO();
  const platform::FontSource font = platform::FindSansSerifFont();
  const float size = 15.0f * scale;
  if (!font.path.empty()) {
    io.Fonts->AddFontFromFileTTF(font.path.c_str(), size);
  } else if (!font.bytes.empty()) {
    ImFontConfig config;
    // The bytes live as long as the program; the atlas must not free them.
    config.FontDataOwnedByAtlas = false;
    io.Fonts->AddFontFromMemoryTTF(const_cast<std::uint8_t*>(font.bytes.data()), static_cast<int>(font.bytes.size()),
                                   size, &config);
  }
  if (io.Fonts->Fonts.empty()) {
    ImFontConfig config;
    config.SizePixels = 13.0f * scale;
    io.Fonts->AddFontDefault(&config);
  }
  ImGui::GetStyle().ScaleAllSizes(scale);
}

namespace {

WindowSize StartingSize(const WorkbenchOptions& options, const Settings& settings) {
  if (options.size) {
    return *options.size;
  }
  SDL_Rect usable{0, 0, 1280, 800};
  SDL_GetDisplayUsableBounds(0, &usable);
  if (settings.windowWidth > 0 && settings.windowHeight > 0) {
    return {std::min(settings.windowWidth, usable.w), std::min(settings.windowHeight, usable.h)};
  }
  return {std::max(640, usable.w * 9 / 10), std::max(480, usable.h * 9 / 10)};
}

// The event a background job pushes to wake the loop.
Uint32 WakeEventType() {
  static const Uint32 type = SDL_RegisterEvents(1);
  return type;
}

void Wake() {
  SDL_Event event{};
  event.type = WakeEventType();
  SDL_PushEvent(&event);
}

// The events of one frame. Dear ImGui 1.86 reads a key as held or not, and the pointer's place,
// once a frame: a key pressed and released between two frames (fast typing, a key sent by a
// script) would be lost, and a click right after a move would land where the pointer was before.
// A frame's events end before the release of a key pressed among them, and before a press of a
// mouse button after the pointer moved; that event begins the next frame's.
class FrameEvents {
 public:
  // The next event of this frame; false when the frame has none left. Waits for the first one
  // when `wait` is set and none is carried over.
  bool Next(SDL_Event& event, bool wait) {
    if (carried_) {
      event = *carried_;
      carried_.reset();
    } else if (!(wait && !started_ ? SDL_WaitEvent(&event) == 1 : SDL_PollEvent(&event) == 1)) {
      return false;
    }
    started_ = true;
    const bool keyReleasedAgain = event.type == SDL_KEYUP && std::find(pressed_.begin(), pressed_.end(),
                                                                       event.key.keysym.scancode) != pressed_.end();
    if (keyReleasedAgain || (event.type == SDL_MOUSEBUTTONDOWN && moved_)) {
      carried_ = event;
      return false;
    }
    if (event.type == SDL_KEYDOWN) {
      pressed_.push_back(event.key.keysym.scancode);
    }
    moved_ = moved_ || event.type == SDL_MOUSEMOTION;
    return true;
  }
  // Begins the next frame's events.
  void EndFrame() {
    pressed_.clear();
    moved_ = false;
    started_ = false;
  }
  bool Carried() const { return carried_.has_value(); }

 private:
  std::optional<SDL_Event> carried_;
  std::vector<SDL_Scancode> pressed_;
  bool moved_ = false;
  bool started_ = false;
};

}  // namespace

void DrawFrame(Workbench& model, WindowState& state) {
  ImGui_ImplSDLRenderer_NewFrame();
  ImGui::NewFrame();
  DrawMenuBar(model, state);
  if (model.HasFolder()) {
    DrawRegionList(model, state);
    DrawMapPanel(model, state);
    DrawSidePanel(model, state);
  } else {
    DrawStartPage(model, state);
  }
  DrawStatusBar(model, state);
  DrawDialogs(model, state);
  ImGui::Render();

  SDL_Renderer* renderer = state.renderer;
  SDL_SetRenderDrawColor(renderer, 30, 30, 34, 255);
  SDL_RenderClear(renderer);
  if (state.mapTexture && model.HasFolder()) {
    const SDL_Rect target{state.map.x, state.map.y, state.mapTextureWidth, state.mapTextureHeight};
    SDL_RenderCopy(renderer, state.mapTexture.get(), nullptr, &target);
  }
  ImGui_ImplSDLRenderer_RenderDrawData(ImGui::GetDrawData());
  SDL_RenderPresent(renderer);
}

WorkbenchExit RunWorkbench(const WorkbenchOptions& options) {
  VideoSystem video;
  if (!video.ready()) {
    return {1, std::string("no window can be opened: ") + SDL_GetError()};
  }
  WakeEventType();
  Workbench model(Wake);
  const SettingsLoad loaded = LoadSettings(SettingsPath());
  model.UseSettings(loaded.settings);
  if (!loaded.problem.empty()) {
    model.Say(loaded.problem);
  }

  const WindowSize size = StartingSize(options, model.settings());
  const std::unique_ptr<SDL_Window, WindowDeleter> window(SDL_CreateWindow("Karst Workbench", SDL_WINDOWPOS_CENTERED,
                                                                           SDL_WINDOWPOS_CENTERED, size.width,
                                                                           size.height, SDL_WINDOW_RESIZABLE));
  if (window == nullptr) {
    return {1, std::string("no window can be opened: ") + SDL_GetError()};
  }
  const std::unique_ptr<SDL_Renderer, RendererDeleter> renderer(
      SDL_CreateRenderer(window.get(), -1, SDL_RENDERER_PRESENTVSYNC));
  if (renderer == nullptr) {
    return {1, std::string("the window cannot be drawn: ") + SDL_GetError()};
  }
  const ImGuiSession imgui(window.get(), renderer.get());
  UseInterfaceFont(InterfaceScale(window.get()));

  WindowState state;
  state.window = window.get();
  state.renderer = renderer.get();
  if (!options.path.empty()) {
    model.Open(options.path);
  } else if (!model.settings().recentFolders.empty()) {
    model.Open(model.settings().recentFolders.front());
  }

  std::string title;
  // Frames still to draw after the last event: ImGui settles hovers and layouts over two.
  int framesLeft = 3;
  FrameEvents events;
  while (!state.quit) {
    SDL_Event event;
    const bool wait = framesLeft <= 0 && !events.Carried();
    while (events.Next(event, wait)) {
      framesLeft = 3;
      ImGui_ImplSDL2_ProcessEvent(&event);
      if (event.type == SDL_QUIT) {
        state.quit = true;
      } else if (event.type == SDL_DROPFILE) {
        const std::unique_ptr<char, decltype(&SDL_free)> dropped(event.drop.file, SDL_free);
        model.Open(dropped.get());
      } else if (event.type == SDL_KEYDOWN &&
                 (!ImGui::GetIO().WantTextInput || (event.key.keysym.sym == SDLK_ESCAPE && DialogOpen(state)))) {
        // Text fields take the keys, but Escape closes their dialog at once.
        HandleKey(model, state, event.key.keysym.sym, event.key.keysym.mod);
      }
    }
    events.EndFrame();
    // The jobs' progress and results come with wake events, so a busy workbench still sleeps
    // between them.
    model.Poll();

    ImGui_ImplSDL2_NewFrame();
    DrawFrame(model, state);
    --framesLeft;

    const std::string shownTitle = WindowTitle(model);
    if (shownTitle != title) {
      title = shownTitle;
      SDL_SetWindowTitle(window.get(), title.c_str());
    }
  }

  int width = 0;
  int height = 0;
  SDL_GetWindowSize(window.get(), &width, &height);
  Settings settings = model.settings();
  settings.windowWidth = width;
  settings.windowHeight = height;
  // Settings that could not be set aside are not written over.
  return {0, loaded.canSave ? SaveSettings(SettingsPath(), settings) : std::string()};
}

}  // namespace karst::workbench
