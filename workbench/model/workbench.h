// The workbench as plain data: the folder opened, its regions and their thumbnails, the region on
// the map with its view, layers and selection, the check's findings, the object library and where
// an object is used, and the one export running. The window draws from it and asks it for actions;
// nothing here knows of a screen, so all of it is tested without one.
//
// Long work (reading the folder, drawing thumbnails and regions, the check, exports) runs in
// background jobs. Poll() takes what they finished; the window calls it every frame, and `wake`,
// called from the jobs' threads, tells a sleeping window that there is something to take.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/inspect/game_check.h"
#include "workbench/model/background_job.h"
#include "workbench/model/export_jobs.h"
#include "workbench/model/folder_opening.h"
#include "workbench/model/folder_regions.h"
#include "workbench/model/live_edit.h"
#include "workbench/model/map_compose.h"
#include "workbench/model/map_pictures.h"
#include "workbench/model/map_view.h"
#include "workbench/model/object_entries.h"
#include "workbench/model/settings.h"

namespace karst::workbench {

// Thumbnails are this wide; their height keeps the region's 4:3.
inline constexpr std::uint32_t kThumbnailWidth = 128;

struct RegionSlot {
  RegionStatus status;
  bool scanned = false;  // `status` and `thumbnail` are known
  std::optional<Thumbnail> thumbnail;
  std::uint64_t thumbnailGeneration = 0;  // increases when the thumbnail is drawn again
};

// What the folder scan hands over, region by region, while it runs.
struct ScannedRegion {
  std::size_t index = 0;
  RegionStatus status;
  std::optional<Thumbnail> thumbnail;
};

// The regions the scan finished and the window has not taken yet; shared by the scan's thread and
// the window's.
class ScanInbox;

struct LoadedRegion {
  std::size_t index = 0;
  std::optional<ShownRegion> region;  // none: `problem` says why
  std::string problem;
};

// One export under way: what it is called, and its job, whose result is the lines a person reads.
struct RunningExport {
  std::string title;
  std::unique_ptr<BackgroundJob<std::vector<std::string>>> job;
};

class Workbench {
 public:
  explicit Workbench(std::function<void()> wake);
  ~Workbench();
  Workbench(const Workbench&) = delete;
  Workbench& operator=(const Workbench&) = delete;

  // Opens a game folder, or the folder of a file with that file selected. The check, the scan of
  // the regions and the first region's drawing start beside the window.
  void Open(const std::string& path);
  // Opens the folder again from disk, keeping the region shown, the view and the selection.
  void Reload();
  // Takes what the background jobs finished.
  void Poll();
  // Something runs beside the window.
  bool Busy() const;

  const OpenedPath& opened() const { return opened_; }
  // Increases with every folder opened, so the window can turn to what a file given asks for.
  std::uint64_t openGeneration() const { return openGeneration_; }
  // A container given that is no region and no library: its chunks, as `karst-gff info` lists them.
  const std::vector<std::string>& chunkLines() const { return chunkLines_; }
  bool HasFolder() const { return !opened_.folder.empty(); }
  const std::vector<RegionSlot>& regions() const { return regions_; }
  std::vector<std::size_t> FilteredRegions() const;

  // The region on the map. A region that cannot be shown leaves the map empty and says why.
  std::optional<std::size_t> selectedRegion() const { return selectedRegion_; }
  const ShownRegion* shown() const { return shown_ ? &*shown_ : nullptr; }
  const std::string& shownProblem() const { return shownProblem_; }
  bool RegionLoading() const { return regionLoad_ != nullptr; }
  void ShowRegion(std::size_t index);
  // Space and Backspace: the next or the previous region; nothing at either end, as in the viewer.
  void StepRegion(int delta);
  // Increases whenever the map's pixels change (another region, the layers, the selection), so the
  // window composes again only then and when the view moves.
  std::uint64_t mapGeneration() const { return mapGeneration_; }

  MapView& view() { return view_; }
  const MapView& view() const { return view_; }
  const MapLayers& layers() const { return layers_; }
  // T, O, G, B or V.
  void ToggleLayer(char key);
  const MapMarks& marks() const { return marks_; }

  // The entity selected on the map and in the table; `centre` puts it in the middle of the view.
  void SelectEntity(std::optional<std::size_t> index, bool centre);
  void ClickMap(ScreenPoint point);
  std::vector<std::size_t> FilteredEntities() const;

  // Escape: clears the selection.
  void ClearSelection();

  // The check of the folder, when it has finished.
  const tools::GameCheckResult* check() const { return check_ ? &*check_ : nullptr; }
  bool CheckRunning() const { return checkJob_ != nullptr; }
  // Opens the finding's region at its cell or entity, where it names one.
  void OpenFinding(const tools::Finding& finding);

  const ObjectEntries* objects() const { return objects_ ? &*objects_ : nullptr; }
  std::optional<std::size_t> selectedObject() const { return selectedObject_; }
  void SelectObject(std::size_t index);
  const ObjectUses* whereUsed() const { return whereUsed_ ? &*whereUsed_ : nullptr; }
  bool WhereUsedRunning() const { return whereUsedJob_ != nullptr; }
  // Opens a region of the folder at an entity: the region is shown, the entity selected and centred.
  void OpenEntity(const std::string& regionPath, std::size_t entity);

  // Exports: one at a time, each a job with progress and Cancel.
  const RunningExport* runningExport() const { return export_ ? &*export_ : nullptr; }
  void ExportRegion(const std::string& output);
  void ExportObjectFrames(const std::string& outputFolder);
  void ExportAll(const std::string& outputFolder);
  void ExportAtlas(const std::string& site);
  void CancelExport();

  // The live edit: the shown region (or the folder's object library) unpacked into its edit
  // folder, every settled save there packed into the game file and shown at once. One at a time.
  LiveEdit* liveEdit() { return liveEdit_.get(); }
  const LiveEdit* liveEdit() const { return liveEdit_.get(); }
  void StartLiveEdit(bool library);
  // Stops the loop; the edit folder stays, and opening the file again offers to go on with it.
  void EndLiveEdit();

  // Lines for the person, newest last: what was opened, set aside, written or refused.
  const std::vector<std::string>& messages() const { return messages_; }
  void Say(std::string line);

  Settings& settings() { return settings_; }
  const Settings& settings() const { return settings_; }
  void UseSettings(Settings settings);

  std::string regionFilter;
  std::string entityFilter;

 private:
  void StartRegionLoad(std::size_t index);
  void StartScan();
  void StartCheck();
  void StartObjects();
  void TakeScanned();
  void TakeRegion();
  void Changed() { ++mapGeneration_; }
  void UseLayersOfSettings();
  void ShowEditedFile();
  void StartExport(std::string title, std::function<std::vector<std::string>(tools::JobContext&)> work);
  // The region of the folder named `file` (the name alone: every region is in the one folder).
  std::optional<std::size_t> RegionIndexOf(const std::string& file) const;

  std::function<void()> wake_;
  Settings settings_;
  OpenedPath opened_;
  std::uint64_t openGeneration_ = 0;
  std::vector<std::string> chunkLines_;
  std::vector<RegionSlot> regions_;
  std::optional<std::size_t> selectedRegion_;
  std::optional<ShownRegion> shown_;
  std::string shownProblem_;
  MapView view_;
  MapLayers layers_;
  MapMarks marks_;
  std::uint64_t mapGeneration_ = 0;
  // Where the view goes once the region being loaded arrives: kept on a reload, reset on a switch,
  // an entity to centre when a place was opened.
  bool keepViewOnLoad_ = false;
  // The region being drawn again because its file was edited: its thumbnail is drawn again too.
  bool redrawThumbnailOnLoad_ = false;
  std::optional<std::size_t> entityOnLoad_;
  std::optional<tools::GameCheckResult> check_;
  std::optional<ObjectEntries> objects_;
  std::optional<std::size_t> selectedObject_;
  std::optional<ObjectUses> whereUsed_;
  std::vector<std::string> messages_;
  std::optional<RunningExport> export_;

  std::unique_ptr<LiveEdit> liveEdit_;
  std::shared_ptr<ScanInbox> scanInbox_;
  std::unique_ptr<BackgroundJob<bool>> scanJob_;
  std::unique_ptr<BackgroundJob<LoadedRegion>> regionLoad_;
  std::unique_ptr<BackgroundJob<tools::GameCheckResult>> checkJob_;
  std::unique_ptr<BackgroundJob<ObjectEntries>> objectsJob_;
  std::unique_ptr<BackgroundJob<ObjectUses>> whereUsedJob_;
};

}  // namespace karst::workbench
