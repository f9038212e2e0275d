#include "workbench/window/panels.h"

#include <imgui.h>
#include <imgui_stdlib.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/folder_chooser.h"
#include "platform/paths.h"
#include "platform/program_launch.h"
#include "tools/inspect/entity_rows.h"
#include "workbench/model/pointer_info.h"
#include "workbench/model/view_picture.h"

namespace karst::workbench {
namespace {

constexpr ImGuiWindowFlags kPanelFlags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize |
                                         ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoCollapse |
                                         ImGuiWindowFlags_NoBringToFrontOnFocus | ImGuiWindowFlags_NoSavedSettings;

// The panels' places: the menu bar on top, the status bar at the bottom, the regions on the left,
// the entities, objects and findings on the right, the map between them.
struct Layout {
  float top = 0;
  float bottom = 0;
  float left = 0;
  float right = 0;
  float width = 0;
};

Layout LayoutOf() {
  const ImGuiIO& io = ImGui::GetIO();
  const float scale = ImGui::GetFontSize() / 15.0f;
  Layout layout;
  layout.width = io.DisplaySize.x;
  layout.top = ImGui::GetFrameHeight();
  layout.bottom = io.DisplaySize.y - ImGui::GetFrameHeightWithSpacing() * 2.0f;
  layout.left = std::min(250.0f * scale, io.DisplaySize.x / 4.0f);
  layout.right = io.DisplaySize.x - std::min(380.0f * scale, io.DisplaySize.x / 3.0f);
  return layout;
}

void BeginPanel(const char* name, float x, float y, float width, float height, ImGuiWindowFlags extra = 0) {
  ImGui::SetNextWindowPos(ImVec2(x, y));
  ImGui::SetNextWindowSize(ImVec2(std::max(width, 1.0f), std::max(height, 1.0f)));
  ImGui::Begin(name, nullptr, kPanelFlags | extra);
}

void Tooltip(const char* text) {
  if (ImGui::IsItemHovered()) {
    ImGui::SetTooltip("%s", text);
  }
}

// Where an export goes unless the person says otherwise: a folder beside the game folder, never
// inside it.
std::string ExportFolderFor(const Workbench& model) {
  const std::filesystem::path folder = platform::NativePath(model.opened().folder);
  return platform::PathText(folder.parent_path() /
                            (folder.filename().native() + platform::NativePath("-exports").native()));
}

std::string ShownFileStem(const Workbench& model) {
  if (!model.selectedRegion()) {
    return "region";
  }
  return platform::PathText(platform::NativePath(model.regions()[*model.selectedRegion()].status.file).stem());
}

// The system's folder dialog where there is one; the window's own chooser otherwise. True when
// the system's dialog answered.
bool ChooseFolderWithSystem(Workbench& model, WindowState& state) {
  const platform::FolderChoice choice =
      platform::ChooseFolderWithSystem(state.window, model.HasFolder() ? model.opened().folder : std::string());
  switch (choice.outcome) {
    case platform::FolderChoiceOutcome::kChosen:
      model.Open(choice.folder);
      return true;
    case platform::FolderChoiceOutcome::kCancelled:
      return true;
    case platform::FolderChoiceOutcome::kFailed:
      model.Say(choice.problem);
      return false;
    case platform::FolderChoiceOutcome::kNoChooser:
      return false;
  }
  return false;
}

void OpenDialog(Workbench& model, WindowState& state, Dialog dialog) {
  if (dialog != Dialog::kOpenFolder && !model.HasFolder()) {
    return;
  }
  if (dialog == Dialog::kOpenFolder && ChooseFolderWithSystem(model, state)) {
    return;
  }
  state.dialog = dialog;
  state.dialogJustOpened = true;
  const std::string exports = model.HasFolder() ? ExportFolderFor(model) : std::string();
  const std::string stem = ShownFileStem(model);
  switch (dialog) {
    case Dialog::kOpenFolder:
      state.browser =
          BrowseFolder(model.HasFolder() ? model.opened().folder : platform::PathText(std::filesystem::current_path()));
      state.dialogPath = state.browser.current;
      break;
    case Dialog::kExportRegion:
      state.dialogPath = platform::PathText(platform::NativePath(exports) / platform::NativePath(stem + ".png"));
      break;
    case Dialog::kExportView:
      state.dialogPath = platform::PathText(platform::NativePath(exports) / platform::NativePath(stem + "-view.png"));
      break;
    case Dialog::kExportFrames:
      state.dialogPath = platform::PathText(platform::NativePath(exports) / platform::NativePath("objects"));
      break;
    case Dialog::kExportAll:
      state.dialogPath = platform::PathText(platform::NativePath(exports) / platform::NativePath("regions"));
      break;
    case Dialog::kExportAtlas:
      state.dialogPath = platform::PathText(platform::NativePath(exports) / platform::NativePath("atlas"));
      break;
    case Dialog::kNone:
      break;
  }
}

void ComposeIfChanged(Workbench& model, WindowState& state) {
  const MapView& view = model.view();
  const bool sized = state.mapTextureWidth == view.width() && state.mapTextureHeight == view.height();
  if (sized && state.mapTexture && state.composedGeneration == model.mapGeneration() &&
      state.composedScrollX == view.scrollX() && state.composedScrollY == view.scrollY() &&
      state.composedZoom == view.zoomStep()) {
    return;
  }
  if (view.width() <= 0 || view.height() <= 0) {
    return;
  }
  if (!sized || !state.mapTexture) {
    state.mapTexture.reset(SDL_CreateTexture(state.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                             view.width(), view.height()));
    state.mapTextureWidth = view.width();
    state.mapTextureHeight = view.height();
  }
  state.mapPixels.resize(static_cast<std::size_t>(view.width()) * static_cast<std::size_t>(view.height()));
  if (model.shown() != nullptr) {
    ComposeMap(*model.shown(), view, model.layers(), model.marks(), state.mapPixels);
  } else {
    std::fill(state.mapPixels.begin(), state.mapPixels.end(), kOutsideColour);
  }
  if (state.mapTexture) {
    SDL_UpdateTexture(state.mapTexture.get(), nullptr, state.mapPixels.data(), view.width() * 4);
  }
  state.composedGeneration = model.mapGeneration();
  state.composedScrollX = view.scrollX();
  state.composedScrollY = view.scrollY();
  state.composedZoom = view.zoomStep();
}

std::string ZoomText(const Zoom& zoom) {
  if (zoom.denominator == 1) {
    return std::to_string(zoom.numerator) + "x";
  }
  return std::to_string(zoom.numerator) + "/" + std::to_string(zoom.denominator) + "x";
}

void DrawEntitiesTab(Workbench& model, WindowState& state) {
  ImGui::SetNextItemWidth(-1);
  ImGui::InputTextWithHint("##entity-filter", "Filter entities", &model.entityFilter);
  const ShownRegion* region = model.shown();
  if (region == nullptr) {
    ImGui::TextDisabled("No region shown");
    return;
  }
  constexpr ImGuiTableFlags kFlags =
      ImGuiTableFlags_RowBg | ImGuiTableFlags_ScrollY | ImGuiTableFlags_BordersInnerV | ImGuiTableFlags_SizingFixedFit;
  if (!ImGui::BeginTable("entities", 7, kFlags)) {
    return;
  }
  ImGui::TableSetupScrollFreeze(0, 1);
  for (const char* heading : {"#", "object", "x", "y", "z", "mirrored", "drawn"}) {
    ImGui::TableSetupColumn(heading);
  }
  ImGui::TableHeadersRow();
  for (const std::size_t index : model.FilteredEntities()) {
    const tools::EntityRow& row = region->entities[index];
    ImGui::TableNextRow();
    ImGui::TableNextColumn();
    const bool selected = model.marks().selectedEntity == index;
    const std::string label = std::to_string(row.index);
    if (ImGui::Selectable(label.c_str(), selected, ImGuiSelectableFlags_SpanAllColumns)) {
      model.SelectEntity(index, true);
    }
    if (selected && state.scrollToEntity) {
      ImGui::SetScrollHereY();
      state.scrollToEntity = false;
    }
    ImGui::TableNextColumn();
    ImGui::Text("%u", row.objectId);
    ImGui::TableNextColumn();
    ImGui::Text("%u", row.x);
    ImGui::TableNextColumn();
    ImGui::Text("%u", row.y);
    ImGui::TableNextColumn();
    ImGui::Text("%u", row.z);
    ImGui::TableNextColumn();
    ImGui::TextUnformatted(row.mirrored ? "yes" : "");
    ImGui::TableNextColumn();
    ImGui::TextUnformatted(row.drawn() ? "yes" : std::string(tools::ReasonText(row.reason)).c_str());
  }
  ImGui::EndTable();
}

void DrawObjectsTab(Workbench& model, WindowState& state) {
  const ObjectEntries* entries = model.objects();
  if (model.opened().library.empty()) {
    ImGui::TextWrapped("This folder has no object library (OBJEX.GFF).");
    return;
  }
  if (entries == nullptr) {
    ImGui::TextDisabled("Reading the object library...");
    return;
  }
  for (const std::string& problem : entries->problems) {
    ImGui::TextWrapped("%s", problem.c_str());
  }
  if (state.objectTexturesFrom != entries) {
    state.objectTextures.clear();
    state.objectTexturesFrom = entries;
  }
  const float listHeight = model.selectedObject() ? ImGui::GetContentRegionAvail().y * 0.6f : 0.0f;
  ImGui::BeginChild("objects", ImVec2(0, listHeight));
  const float picture = ImGui::GetFontSize() * 3.0f;
  for (std::size_t index = 0; index < entries->entries.size(); ++index) {
    const ObjectEntry& entry = entries->entries[index];
    ImGui::PushID(static_cast<int>(index));
    const ImVec2 start = ImGui::GetCursorPos();
    if (ImGui::Selectable("##object", model.selectedObject() == index, 0, ImVec2(0, picture))) {
      model.SelectObject(index);
    }
    ImGui::SetCursorPos(start);
    if (entry.firstFrame && entry.firstFrame->width > 0 && entry.firstFrame->height > 0) {
      auto found = state.objectTextures.find(index);
      if (found == state.objectTextures.end()) {
        found = state.objectTextures
                    .emplace(index, MakeTexture(state.renderer, entry.firstFrame->width, entry.firstFrame->height,
                                                entry.firstFrame->pixels))
                    .first;
      }
      if (found->second) {
        const float fit = std::min(picture / static_cast<float>(entry.firstFrame->width),
                                   picture / static_cast<float>(entry.firstFrame->height));
        ImGui::Image(found->second.get(), ImVec2(static_cast<float>(entry.firstFrame->width) * fit,
                                                 static_cast<float>(entry.firstFrame->height) * fit));
      } else {
        ImGui::Dummy(ImVec2(picture, picture));
      }
    } else {
      ImGui::Dummy(ImVec2(picture, picture));
    }
    ImGui::SameLine(picture + ImGui::GetStyle().ItemSpacing.x * 2);
    if (entry.row.definition) {
      ImGui::Text("object %u  bitmap %u", entry.row.id, static_cast<unsigned>(entry.row.definition->bitmapId));
    } else {
      ImGui::Text("object %u  (not 16 bytes)", entry.row.id);
    }
    ImGui::PopID();
  }
  ImGui::EndChild();
  if (!model.selectedObject()) {
    return;
  }
  ImGui::Separator();
  if (model.WhereUsedRunning()) {
    ImGui::TextDisabled("Searching the folder...");
    return;
  }
  const ObjectUses* uses = model.whereUsed();
  if (uses == nullptr) {
    return;
  }
  ImGui::Text("Used %zu times in the folder", uses->places.size());
  ImGui::BeginChild("where-used");
  for (std::size_t index = 0; index < uses->places.size(); ++index) {
    const UsePlace& place = uses->places[index];
    const std::string label = platform::FileNameOf(place.region) + ": entity " + std::to_string(place.entity) + " at " +
                              std::to_string(place.x) + ", " + std::to_string(place.y) + "##" + std::to_string(index);
    if (ImGui::Selectable(label.c_str())) {
      model.OpenEntity(place.region, place.entity);
    }
  }
  for (const std::string& problem : uses->problems) {
    ImGui::TextWrapped("%s", problem.c_str());
  }
  ImGui::EndChild();
}

void DrawFindingsTab(Workbench& model) {
  const tools::GameCheckResult* check = model.check();
  if (check == nullptr) {
    ImGui::TextDisabled("Checking the folder...");
    return;
  }
  if (check->FindingCount() == 0 && check->problems.empty()) {
    ImGui::TextWrapped("The check found nothing: the viewer would start and show every region.");
  }
  ImGui::BeginChild("findings");
  std::size_t number = 0;
  for (const tools::CheckedFile& file : check->files) {
    if (file.findings.empty()) {
      continue;
    }
    ImGui::TextDisabled("%s", platform::FileNameOf(file.file).c_str());
    for (const tools::Finding& finding : file.findings) {
      ImGui::PushID(static_cast<int>(number++));
      // A wrapped line that opens its place when clicked, where it has one.
      ImGui::Indent();
      ImGui::PushTextWrapPos(0.0f);
      ImGui::TextUnformatted(tools::FindingLine(finding).c_str());
      ImGui::PopTextWrapPos();
      ImGui::Unindent();
      const bool region = file.region;
      if (region && ImGui::IsItemHovered()) {
        ImGui::GetWindowDrawList()->AddRect(ImGui::GetItemRectMin(), ImGui::GetItemRectMax(),
                                            ImGui::GetColorU32(ImGuiCol_HeaderHovered));
        ImGui::SetTooltip("Show %s at this place", platform::FileNameOf(finding.file).c_str());
      }
      if (region && ImGui::IsItemClicked()) {
        model.OpenFinding(finding);
      }
      ImGui::PopID();
    }
  }
  for (const tools::JobProblem& problem : check->problems) {
    ImGui::TextWrapped("%s: %s", problem.file.c_str(), problem.words.c_str());
  }
  ImGui::EndChild();
}

// Opens a file of the edit folder: a map in Tiled where it is installed, anything else (and a map
// without Tiled) with the system's handler; where neither works, a line says where the file is.
void OpenEditFile(Workbench& model, const std::string& path, bool map) {
  std::string problem;
  const std::string tiled = map ? platform::FindProgram("tiled", "Tiled") : std::string();
  if (!tiled.empty()) {
    problem = platform::StartProgram(tiled, {path});
  } else {
    problem = platform::OpenWithSystem(path);
  }
  if (!problem.empty()) {
    model.Say(problem + "; open it yourself: " + path);
  }
}

void EditButton(Workbench& model, const LiveEdit& edit, const char* label, const char* name, bool map,
                const char* tooltip) {
  if (ImGui::Button(label)) {
    OpenEditFile(model, platform::PathText(platform::NativePath(edit.folder()) / platform::NativePath(name)), map);
  }
  Tooltip(tooltip);
}

const char* StatusWords(LiveEditStatus status) {
  switch (status) {
    case LiveEditStatus::kStarting:
      return "Starting...";
    case LiveEditStatus::kWatching:
      return "Watching the edit folder: every save is packed and shown";
    case LiveEditStatus::kRefused:
      return "The last save did not pack: the game file and the map stay as they were";
    case LiveEditStatus::kChangedByOther:
      return "Another program changed the game file: nothing is written until you choose";
    case LiveEditStatus::kInUse:
      return "Another program holds the game file: packed again at the next save";
    case LiveEditStatus::kPaused:
      return "Paused: the game file is the original";
    case LiveEditStatus::kEnded:
      return "Ended";
  }
  return "";
}

void DrawEditTab(Workbench& model, WindowState& state) {
  LiveEdit* edit = model.liveEdit();
  if (edit == nullptr || edit->status() == LiveEditStatus::kEnded) {
    ImGui::TextWrapped(
        "Edit a region in Tiled or a paint program: it is unpacked into an edit folder of its own (never in "
        "the game folder), and every save there is packed into the game file and shown here at once. The "
        "first replacement keeps the original beside it.");
    const std::string shown = model.selectedRegion() ? model.regions()[*model.selectedRegion()].status.path : "";
    if (state.earlierEditOf != shown) {
      state.earlierEditOf = shown;
      state.earlierEdit = !shown.empty() && HasEditFolder(shown);
    }
    if (state.earlierEdit) {
      ImGui::TextWrapped("An earlier edit of %s is in its folder: Edit goes on with it.",
                         platform::FileNameOf(shown).c_str());
    }
    if (ImGui::Button("Edit this region")) {
      model.StartLiveEdit(false);
    }
    Tooltip("E: unpack the region shown into its edit folder and pack every save there");
    ImGui::SameLine();
    if (ImGui::Button("Edit the object library")) {
      model.StartLiveEdit(true);
    }
    if (edit != nullptr) {
      ImGui::Separator();
      for (const std::string& line : edit->lines()) {
        ImGui::TextWrapped("%s", line.c_str());
      }
    }
    return;
  }
  ImGui::Text("Editing %s", platform::FileNameOf(edit->gameFile()).c_str());
  ImGui::TextWrapped("%s", StatusWords(edit->status()));
  if (!edit->folder().empty()) {
    ImGui::TextDisabled("%s", edit->folder().c_str());
    if (ImGui::Button("Open the edit folder")) {
      OpenEditFile(model, edit->folder(), false);
    }
    Tooltip("The folder in the file manager");
    const bool library = edit->gameFile() == model.opened().library;
    if (library) {
      EditButton(model, *edit, "Frames", "frames", false, "Every frame of the library as a PNG in the game's colours");
      ImGui::SameLine();
      EditButton(model, *edit, "objects.json", "objects.json", false, "The object definitions, in a text editor");
    } else {
      EditButton(model, *edit, "The map in Tiled", "map.tmj", true,
                 "Tiled where it is installed, else the system's handler");
      ImGui::SameLine();
      EditButton(model, *edit, "Frames", "frames", false, "Every tile frame as a PNG in the game's colours");
      EditButton(model, *edit, "Palette", "palette.gpl", false, "The region's colours as a GIMP palette");
      ImGui::SameLine();
      EditButton(model, *edit, "Name", "name.txt", false, "The region's name, in a text editor");
    }
  }
  ImGui::Separator();
  switch (edit->status()) {
    case LiveEditStatus::kChangedByOther:
      if (ImGui::Button("Revert to original...")) {
        state.confirmation = Confirmation::kRevert;
        state.confirmationJustAsked = true;
      }
      ImGui::SameLine();
      if (ImGui::Button("Start again from the changed file")) {
        edit->StartAgain();
      }
      Tooltip("This edit folder is kept aside under a new name, and a new edit starts from the file as it is now");
      ImGui::SameLine();
      if (ImGui::Button("Replace anyway...")) {
        state.confirmation = Confirmation::kReplaceAnyway;
        state.confirmationJustAsked = true;
      }
      break;
    case LiveEditStatus::kPaused:
      if (ImGui::Button("Go on with the edit")) {
        edit->Resume();
      }
      Tooltip("The next save is packed into the game file again");
      break;
    default:
      if (ImGui::Button("Revert to original...")) {
        state.confirmation = Confirmation::kRevert;
        state.confirmationJustAsked = true;
      }
      Tooltip("Put the kept original back in the game folder and pause the edit; its folder keeps every edit");
      break;
  }
  ImGui::SameLine();
  if (ImGui::Button("End the edit")) {
    model.EndLiveEdit();
    return;
  }
  Tooltip("Stop packing saves; the edit folder stays, and editing the file again goes on with it");
  ImGui::BeginChild("edit-lines");
  for (const std::string& line : edit->lines()) {
    ImGui::TextWrapped("%s", line.c_str());
  }
  ImGui::SetScrollHereY(1.0f);
  ImGui::EndChild();
}

void DrawConfirmation(Workbench& model, WindowState& state) {
  static constexpr const char* kTitle = "Confirm###edit-confirmation";
  if (state.confirmationJustAsked) {
    ImGui::OpenPopup(kTitle);
    state.confirmationJustAsked = false;
  }
  if (!ImGui::BeginPopupModal(kTitle, nullptr, ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings)) {
    return;
  }
  LiveEdit* edit = model.liveEdit();
  if (edit == nullptr || state.confirmation == Confirmation::kNone) {
    state.confirmation = Confirmation::kNone;
    ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
    return;
  }
  const std::string file = platform::FileNameOf(edit->gameFile());
  const bool revert = state.confirmation == Confirmation::kRevert;
  if (revert) {
    ImGui::Text("Put the original %s back in the game folder?", file.c_str());
    ImGui::TextUnformatted("The edit is paused; its folder keeps every edit.");
  } else {
    ImGui::Text("Replace %s, which another program changed, by this edit?", file.c_str());
    ImGui::TextUnformatted("The changed file is kept beside it first.");
  }
  const bool go = ImGui::Button(revert ? "Revert" : "Replace");
  ImGui::SameLine();
  const bool cancel = ImGui::Button("Cancel");
  if (go) {
    if (revert) {
      edit->Revert();
    } else {
      edit->ReplaceAnyway();
    }
  }
  if (go || cancel) {
    state.confirmation = Confirmation::kNone;
    ImGui::CloseCurrentPopup();
  }
  ImGui::EndPopup();
}

std::size_t FindingCountOf(const Workbench& model) {
  return model.check() != nullptr ? model.check()->FindingCount() : 0;
}

}  // namespace

Texture MakeTexture(SDL_Renderer* renderer, std::uint32_t width, std::uint32_t height,
                    const std::vector<Argb>& pixels) {
  Texture texture(SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                                    static_cast<int>(width), static_cast<int>(height)));
  if (texture) {
    SDL_SetTextureBlendMode(texture.get(), SDL_BLENDMODE_BLEND);
    SDL_UpdateTexture(texture.get(), nullptr, pixels.data(), static_cast<int>(width * 4));
  }
  return texture;
}

void DrawMenuBar(Workbench& model, WindowState& state) {
  if (!ImGui::BeginMainMenuBar()) {
    return;
  }
  const bool folder = model.HasFolder();
  if (ImGui::BeginMenu("File")) {
    if (ImGui::MenuItem("Open a game folder...", "Ctrl+O")) {
      OpenDialog(model, state, Dialog::kOpenFolder);
    }
    if (ImGui::MenuItem("Open the sample world")) {
      const std::string problem = EnsureSampleWorld();
      if (problem.empty()) {
        model.Open(SampleWorldFolder());
      } else {
        model.Say(problem);
      }
    }
    if (ImGui::BeginMenu("Recent folders", !model.settings().recentFolders.empty())) {
      for (const std::string& recent : std::vector<std::string>(model.settings().recentFolders)) {
        if (ImGui::MenuItem(recent.c_str())) {
          model.Open(recent);
        }
      }
      ImGui::EndMenu();
    }
    if (ImGui::MenuItem("Reload from disk", "F5", false, folder)) {
      model.Reload();
    }
    ImGui::Separator();
    if (ImGui::MenuItem("Export the region as PNG...", "Ctrl+E", false, model.shown() != nullptr)) {
      OpenDialog(model, state, Dialog::kExportRegion);
    }
    if (ImGui::MenuItem("Export the visible view as PNG...", "Ctrl+Shift+E", false, model.shown() != nullptr)) {
      OpenDialog(model, state, Dialog::kExportView);
    }
    if (ImGui::MenuItem("Export the object's frames...", nullptr, false, model.selectedObject().has_value())) {
      OpenDialog(model, state, Dialog::kExportFrames);
    }
    if (ImGui::MenuItem("Export every region as PNG...", nullptr, false, folder)) {
      OpenDialog(model, state, Dialog::kExportAll);
    }
    if (ImGui::MenuItem("Export the atlas...", nullptr, false, folder)) {
      OpenDialog(model, state, Dialog::kExportAtlas);
    }
    ImGui::Separator();
    if (ImGui::MenuItem("Quit", "Ctrl+Q")) {
      state.quit = true;
    }
    ImGui::EndMenu();
  }
  if (ImGui::BeginMenu("View", folder)) {
    const MapLayers& layers = model.layers();
    for (const auto& [key, name, shown] :
         {std::tuple{'T', "Tiles", layers.tiles}, std::tuple{'O', "Objects", layers.objects},
          std::tuple{'G', "Cell grid", layers.grid}, std::tuple{'B', "Boxes and hotspots", layers.boxes},
          std::tuple{'V', "The viewer's 640 x 480 view", layers.viewer}}) {
      const char shortcut[2] = {key, '\0'};
      if (ImGui::MenuItem(name, shortcut, shown)) {
        model.ToggleLayer(key);
      }
    }
    ImGui::Separator();
    if (ImGui::MenuItem("Zoom in", "+")) {
      model.view().ZoomIn();
    }
    if (ImGui::MenuItem("Zoom out", "-")) {
      model.view().ZoomOut();
    }
    if (ImGui::MenuItem("Zoom 1", "1")) {
      model.view().ZoomOne();
    }
    if (ImGui::MenuItem("Fit the region", "F")) {
      model.view().Fit();
    }
    if (ImGui::MenuItem("Top-left corner", "Home")) {
      model.view().Home();
    }
    ImGui::EndMenu();
  }
  if (ImGui::BeginMenu("Edit", folder)) {
    if (ImGui::MenuItem("Edit this region", "E", false, model.selectedRegion().has_value())) {
      model.StartLiveEdit(false);
    }
    if (ImGui::MenuItem("Edit the object library", nullptr, false, !model.opened().library.empty())) {
      model.StartLiveEdit(true);
    }
    if (ImGui::MenuItem("End the edit", nullptr, false, model.liveEdit() != nullptr)) {
      model.EndLiveEdit();
    }
    ImGui::EndMenu();
  }
  if (ImGui::BeginMenu("Go", folder)) {
    if (ImGui::MenuItem("Next region", "Space")) {
      model.StepRegion(1);
    }
    if (ImGui::MenuItem("Previous region", "Backspace")) {
      model.StepRegion(-1);
    }
    if (ImGui::MenuItem("Clear the selection", "Escape")) {
      model.ClearSelection();
    }
    ImGui::EndMenu();
  }
  ImGui::EndMainMenuBar();
}

void DrawStartPage(Workbench& model, WindowState& state) {
  const Layout layout = LayoutOf();
  BeginPanel("Start", 0, layout.top, layout.width, layout.bottom - layout.top);
  ImGui::SetCursorPos(ImVec2(ImGui::GetFontSize() * 3, ImGui::GetFontSize() * 3));
  ImGui::BeginGroup();
  ImGui::TextUnformatted("Karst Workbench");
  ImGui::Spacing();
  if (ImGui::Button("Open a game folder...")) {
    OpenDialog(model, state, Dialog::kOpenFolder);
  }
  Tooltip("A folder with region files (RGN*.GFF) and an object library (OBJEX.GFF). Ctrl+O");
  if (ImGui::Button("Open the sample world")) {
    const std::string problem = EnsureSampleWorld();
    if (problem.empty()) {
      model.Open(SampleWorldFolder());
    } else {
      model.Say(problem);
    }
  }
  Tooltip("A small world of our own, written to your data folder the first time");
  if (!model.settings().recentFolders.empty()) {
    ImGui::Spacing();
    ImGui::TextDisabled("Recent folders");
    for (const std::string& recent : std::vector<std::string>(model.settings().recentFolders)) {
      if (ImGui::Selectable(recent.c_str())) {
        model.Open(recent);
      }
    }
  }
  ImGui::EndGroup();
  ImGui::End();
}

void DrawRegionList(Workbench& model, WindowState& state) {
  const Layout layout = LayoutOf();
  BeginPanel("Regions", 0, layout.top, layout.left, layout.bottom - layout.top);
  ImGui::SetNextItemWidth(-1);
  ImGui::InputTextWithHint("##region-filter", "Filter regions", &model.regionFilter);
  // Another folder's thumbnails go with it.
  if (state.thumbnailsFor != model.openGeneration()) {
    state.thumbnails.clear();
    state.thumbnailsFor = model.openGeneration();
  }
  ImGui::BeginChild("region-list");
  const float thumbnailWidth = std::min(static_cast<float>(kThumbnailWidth), ImGui::GetContentRegionAvail().x * 0.5f);
  const float thumbnailHeight = thumbnailWidth * 3.0f / 4.0f;
  for (const std::size_t index : model.FilteredRegions()) {
    const RegionSlot& slot = model.regions()[index];
    ImGui::PushID(static_cast<int>(index));
    const ImVec2 start = ImGui::GetCursorPos();
    const bool selected = model.selectedRegion() == index;
    if (ImGui::Selectable("##region", selected, 0, ImVec2(0, thumbnailHeight))) {
      model.ShowRegion(index);
    }
    if (selected && ImGui::IsWindowAppearing()) {
      ImGui::SetScrollHereY();
    }
    if (!slot.status.why.empty()) {
      Tooltip(slot.status.why.c_str());
    }
    ImGui::SetCursorPos(start);
    WindowState::ThumbnailTexture& cached = state.thumbnails[index];
    if (slot.thumbnail && cached.generation != slot.thumbnailGeneration) {
      cached.texture =
          MakeTexture(state.renderer, slot.thumbnail->width, slot.thumbnail->height, slot.thumbnail->pixels);
      cached.generation = slot.thumbnailGeneration;
    }
    if (cached.texture) {
      ImGui::Image(cached.texture.get(), ImVec2(thumbnailWidth, thumbnailHeight));
    } else {
      ImGui::Dummy(ImVec2(thumbnailWidth, thumbnailHeight));
    }
    ImGui::SameLine();
    ImGui::BeginGroup();
    const bool refused = slot.scanned && !slot.status.loads;
    if (refused) {
      ImGui::PushStyleColor(ImGuiCol_Text, ImGui::GetStyleColorVec4(ImGuiCol_TextDisabled));
    }
    ImGui::TextUnformatted(slot.status.file.c_str());
    ImGui::PushTextWrapPos(0.0f);
    ImGui::TextUnformatted(refused ? slot.status.why.c_str() : slot.status.name.c_str());
    ImGui::PopTextWrapPos();
    if (refused) {
      ImGui::PopStyleColor();
    }
    ImGui::EndGroup();
    ImGui::PopID();
  }
  ImGui::EndChild();
  ImGui::End();
}

void DrawMapPanel(Workbench& model, WindowState& state) {
  const Layout layout = LayoutOf();
  ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
  ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 0.0f);
  BeginPanel("Map", layout.left, layout.top, layout.right - layout.left, layout.bottom - layout.top,
             ImGuiWindowFlags_NoBackground | ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoScrollWithMouse);
  ImGui::PopStyleVar(2);
  const ImVec2 origin = ImGui::GetCursorScreenPos();
  const ImVec2 size = ImGui::GetContentRegionAvail();
  state.map = {static_cast<int>(origin.x), static_cast<int>(origin.y), static_cast<int>(size.x),
               static_cast<int>(size.y)};
  MapView& view = model.view();
  view.Resize(state.map.width, state.map.height);
  if (size.x >= 1 && size.y >= 1) {
    ImGui::InvisibleButton("map", size);
    const ImGuiIO& io = ImGui::GetIO();
    const ScreenPoint pointer{static_cast<std::int32_t>(io.MousePos.x) - state.map.x,
                              static_cast<std::int32_t>(io.MousePos.y) - state.map.y};
    state.pointer.reset();
    if (ImGui::IsItemHovered()) {
      state.pointer = pointer;
      if (io.MouseWheel != 0) {
        view.ZoomAbout(pointer, io.MouseWheel > 0 ? 1 : -1);
      }
    }
    if (ImGui::IsItemActivated()) {
      state.mapDragged = false;
    }
    if (ImGui::IsItemActive() && ImGui::IsMouseDragging(ImGuiMouseButton_Left, 0.0f)) {
      view.PanBy(static_cast<std::int32_t>(io.MouseDelta.x), static_cast<std::int32_t>(io.MouseDelta.y));
      // A press that moves the map by more than a few pixels is a drag, not a click.
      state.mapDragged = state.mapDragged || ImGui::IsMouseDragging(ImGuiMouseButton_Left);
    }
    if (ImGui::IsItemDeactivated() && !state.mapDragged) {
      model.ClickMap(pointer);
      state.scrollToEntity = true;
    }
  }
  ComposeIfChanged(model, state);
  if (model.shown() == nullptr || model.RegionLoading()) {
    ImGui::SetCursorPos(ImVec2(ImGui::GetFontSize(), ImGui::GetFontSize()));
    if (model.RegionLoading()) {
      ImGui::TextUnformatted("Drawing the region...");
    } else if (!model.shownProblem().empty()) {
      ImGui::PushTextWrapPos(size.x - ImGui::GetFontSize());
      ImGui::TextUnformatted(model.shownProblem().c_str());
      ImGui::PopTextWrapPos();
    } else if (model.regions().empty()) {
      ImGui::TextUnformatted("This folder has no region files (RGN*.GFF).");
    }
  }
  ImGui::End();
}

void DrawSidePanel(Workbench& model, WindowState& state) {
  const Layout layout = LayoutOf();
  BeginPanel("Side", layout.right, layout.top, layout.width - layout.right, layout.bottom - layout.top);
  // A library given opens in its panel, any other container in a list of its chunks.
  const bool turn = state.tabsTurnedFor != model.openGeneration();
  state.tabsTurnedFor = model.openGeneration();
  const OpenedKind kind = model.opened().kind;
  if (ImGui::BeginTabBar("side-tabs")) {
    if (!model.chunkLines().empty() &&
        ImGui::BeginTabItem("Chunks", nullptr,
                            turn && kind == OpenedKind::kOtherContainer ? ImGuiTabItemFlags_SetSelected : 0)) {
      ImGui::BeginChild("chunks");
      for (const std::string& line : model.chunkLines()) {
        ImGui::TextUnformatted(line.c_str());
      }
      ImGui::EndChild();
      ImGui::EndTabItem();
    }
    if (ImGui::BeginTabItem("Entities")) {
      DrawEntitiesTab(model, state);
      ImGui::EndTabItem();
    }
    if (ImGui::BeginTabItem("Objects", nullptr,
                            turn && kind == OpenedKind::kLibrary ? ImGuiTabItemFlags_SetSelected : 0)) {
      DrawObjectsTab(model, state);
      ImGui::EndTabItem();
    }
    const bool turnToEdit = model.liveEdit() != nullptr && state.editTabTurnedFor != model.liveEdit();
    state.editTabTurnedFor = model.liveEdit();
    if (ImGui::BeginTabItem("Edit", nullptr, turnToEdit ? ImGuiTabItemFlags_SetSelected : 0)) {
      DrawEditTab(model, state);
      ImGui::EndTabItem();
    }
    const std::string findings = model.CheckRunning()
                                     ? std::string("Findings (...)###findings")
                                     : "Findings (" + std::to_string(FindingCountOf(model)) + ")###findings";
    if (ImGui::BeginTabItem(findings.c_str())) {
      DrawFindingsTab(model);
      ImGui::EndTabItem();
    }
    ImGui::EndTabBar();
  }
  ImGui::End();
}

void DrawStatusBar(Workbench& model, WindowState& state) {
  const Layout layout = LayoutOf();
  BeginPanel("Status", 0, layout.bottom, layout.width, ImGui::GetIO().DisplaySize.y - layout.bottom);
  std::string pointerText;
  if (model.shown() != nullptr && state.pointer) {
    if (const std::optional<PointerInfo> info = InfoAt(*model.shown(), model.view().MapAt(*state.pointer))) {
      pointerText = StatusText(*model.shown(), *info);
    }
  }
  ImGui::Text("Zoom %s", ZoomText(model.view().zoom()).c_str());
  ImGui::SameLine();
  ImGui::TextUnformatted(pointerText.c_str());
  if (const RunningExport* running = model.runningExport()) {
    const tools::JobProgress progress = running->job->Progress();
    const float fraction =
        progress.total == 0 ? 0.0f : static_cast<float>(progress.done) / static_cast<float>(progress.total);
    ImGui::TextUnformatted(running->title.c_str());
    ImGui::SameLine();
    ImGui::ProgressBar(fraction, ImVec2(ImGui::GetFontSize() * 12, 0), progress.item.c_str());
    ImGui::SameLine();
    if (ImGui::SmallButton("Cancel")) {
      model.CancelExport();
    }
    Tooltip("Stop the export: a single file is not written, a folder keeps only whole files");
  } else if (!model.messages().empty()) {
    ImGui::TextUnformatted(model.messages().back().c_str());
  }
  ImGui::End();
}

void DrawDialogs(Workbench& model, WindowState& state) {
  DrawConfirmation(model, state);
  static constexpr const char* kTitle = "Choose###path-dialog";
  if (state.dialogJustOpened) {
    ImGui::OpenPopup(kTitle);
    state.dialogJustOpened = false;
  }
  const ImVec2 centre(ImGui::GetIO().DisplaySize.x / 2, ImGui::GetIO().DisplaySize.y / 2);
  ImGui::SetNextWindowPos(centre, ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
  ImGui::SetNextWindowSize(ImVec2(ImGui::GetFontSize() * 36, 0), ImGuiCond_Appearing);
  if (!ImGui::BeginPopupModal(kTitle, nullptr, ImGuiWindowFlags_NoSavedSettings)) {
    return;
  }
  if (state.dialog == Dialog::kNone) {
    ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
    return;
  }
  const char* question = "";
  const char* action = "Export";
  switch (state.dialog) {
    case Dialog::kOpenFolder:
      question = "Open a game folder";
      action = "Open";
      break;
    case Dialog::kExportRegion:
      question = model.layers().objects ? "Export the region as PNG" : "Export the region's tiles as PNG";
      break;
    case Dialog::kExportView:
      question = "Export the visible view as PNG";
      break;
    case Dialog::kExportFrames:
      question = "Export the object's frames into a folder";
      break;
    case Dialog::kExportAll:
      question = "Export every region as PNG into a folder";
      break;
    case Dialog::kExportAtlas:
      question = "Export the atlas into a folder";
      break;
    case Dialog::kNone:
      break;
  }
  ImGui::TextUnformatted(question);
  ImGui::SetNextItemWidth(-1);
  if (ImGui::IsWindowAppearing()) {
    ImGui::SetKeyboardFocusHere();
  }
  const bool entered = ImGui::InputText("##path", &state.dialogPath, ImGuiInputTextFlags_EnterReturnsTrue);
  if (state.dialog == Dialog::kOpenFolder) {
    if (state.browser.current != state.dialogPath && ImGui::IsItemDeactivatedAfterEdit()) {
      state.browser = BrowseFolder(state.dialogPath);
    }
    ImGui::BeginChild("folders", ImVec2(0, ImGui::GetFontSize() * 16), true);
    if (ImGui::Selectable("..")) {
      state.browser = BrowseFolder(ParentFolder(state.browser.current));
      state.dialogPath = state.browser.current;
    }
    for (const std::string& folder : std::vector<std::string>(state.browser.subfolders)) {
      if (ImGui::Selectable(folder.c_str())) {
        state.browser = BrowseFolder(
            platform::PathText(platform::NativePath(state.browser.current) / platform::NativePath(folder)));
        state.dialogPath = state.browser.current;
      }
    }
    if (!state.browser.problem.empty()) {
      ImGui::TextWrapped("%s", state.browser.problem.c_str());
    }
    ImGui::EndChild();
  }
  const bool go = ImGui::Button(action) || entered;
  ImGui::SameLine();
  const bool cancel = ImGui::Button("Cancel");
  if (go) {
    const std::string path = state.dialogPath;
    switch (state.dialog) {
      case Dialog::kOpenFolder:
        model.Open(path);
        break;
      case Dialog::kExportRegion:
        model.ExportRegion(path);
        break;
      case Dialog::kExportView:
        model.Say(ExportVisibleView(state, path));
        break;
      case Dialog::kExportFrames:
        model.ExportObjectFrames(path);
        break;
      case Dialog::kExportAll:
        model.ExportAll(path);
        break;
      case Dialog::kExportAtlas:
        model.ExportAtlas(path);
        break;
      case Dialog::kNone:
        break;
    }
  }
  if (go || cancel) {
    state.dialog = Dialog::kNone;
    ImGui::CloseCurrentPopup();
  }
  ImGui::EndPopup();
}

bool HandleKey(Workbench& model, WindowState& state, SDL_Keycode key, std::uint16_t modifiers) {
  const bool control = (modifiers & KMOD_CTRL) != 0;
  const bool shift = (modifiers & KMOD_SHIFT) != 0;
  if (control) {
    switch (key) {
      case SDLK_q:
        state.quit = true;
        return true;
      case SDLK_o:
        OpenDialog(model, state, Dialog::kOpenFolder);
        return true;
      case SDLK_e:
        if (model.shown() != nullptr) {
          OpenDialog(model, state, shift ? Dialog::kExportView : Dialog::kExportRegion);
        }
        return true;
      default:
        return false;
    }
  }
  if (key == SDLK_ESCAPE) {
    if (state.confirmation != Confirmation::kNone) {
      state.confirmation = Confirmation::kNone;
    } else if (state.dialog != Dialog::kNone) {
      state.dialog = Dialog::kNone;
    } else {
      model.ClearSelection();
    }
    return true;
  }
  if (state.dialog != Dialog::kNone || state.confirmation != Confirmation::kNone || !model.HasFolder()) {
    return false;
  }
  MapView& view = model.view();
  switch (key) {
    case SDLK_SPACE:
    case SDLK_PAGEDOWN:
      model.StepRegion(1);
      return true;
    case SDLK_BACKSPACE:
    case SDLK_PAGEUP:
      model.StepRegion(-1);
      return true;
    case SDLK_F5:
      model.Reload();
      return true;
    case SDLK_HOME:
      view.Home();
      return true;
    case SDLK_f:
      view.Fit();
      return true;
    case SDLK_1:
    case SDLK_KP_1:
      view.ZoomOne();
      return true;
    case SDLK_PLUS:
    case SDLK_EQUALS:
    case SDLK_KP_PLUS:
      view.ZoomIn();
      return true;
    case SDLK_MINUS:
    case SDLK_KP_MINUS:
      view.ZoomOut();
      return true;
    case SDLK_LEFT:
      view.MoveByCells(-1, 0);
      return true;
    case SDLK_RIGHT:
      view.MoveByCells(1, 0);
      return true;
    case SDLK_UP:
      view.MoveByCells(0, -1);
      return true;
    case SDLK_DOWN:
      view.MoveByCells(0, 1);
      return true;
    case SDLK_t:
      model.ToggleLayer('T');
      return true;
    case SDLK_o:
      model.ToggleLayer('O');
      return true;
    case SDLK_g:
      model.ToggleLayer('G');
      return true;
    case SDLK_b:
      model.ToggleLayer('B');
      return true;
    case SDLK_v:
      model.ToggleLayer('V');
      return true;
    case SDLK_e:
      model.StartLiveEdit(false);
      return true;
    default:
      return false;
  }
}

std::string ExportVisibleView(const WindowState& state, const std::string& path) {
  // The picture's writer holds the tools' rules for outputs: the game's files are containers
  // with game files' names, which it refuses.
  const std::string problem = WriteViewPicture(path, state.mapPixels, state.mapTextureWidth, state.mapTextureHeight);
  return problem.empty() ? "Wrote " + path : problem;
}

std::string WindowTitle(const Workbench& model) {
  std::string title = "Karst Workbench";
  if (!model.HasFolder()) {
    return title;
  }
  if (model.selectedRegion()) {
    const RegionSlot& slot = model.regions()[*model.selectedRegion()];
    title = slot.status.file + (slot.status.name.empty() ? "" : ": " + slot.status.name) + " - " + title;
  } else {
    title = platform::FileNameOf(model.opened().folder) + " - " + title;
  }
  return title;
}

}  // namespace karst::workbench
