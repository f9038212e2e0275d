#include "workbench/model/workbench.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "platform/paths.h"
#include "tools/inspect/game_check.h"
#include "workbench/model/pointer_info.h"

namespace karst::workbench {

class ScanInbox {
 public:
  void Put(ScannedRegion region) {
    const std::lock_guard lock(mutex_);
    regions_.push_back(std::move(region));
  }
  std::vector<ScannedRegion> Take() {
    const std::lock_guard lock(mutex_);
    return std::exchange(regions_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<ScannedRegion> regions_;
};

namespace {

// What the entity filter looks through: the row's index and object as the table shows them.
bool EntityMatches(const tools::EntityRow& row, const std::string& filter) {
  const std::string text = std::to_string(row.index) + " object " + std::to_string(row.objectId) + " at " +
                           std::to_string(row.x) + ", " + std::to_string(row.y);
  return text.find(filter) != std::string::npos;
}

}  // namespace

Workbench::Workbench(std::function<void()> wake) : wake_(std::move(wake)) {}

// The jobs go first, each cancelled and joined by its own destructor, before the data they
// might hand over.
Workbench::~Workbench() {
  liveEdit_.reset();
  export_.reset();
  whereUsedJob_.reset();
  objectsJob_.reset();
  checkJob_.reset();
  regionLoad_.reset();
  scanJob_.reset();
}

void Workbench::UseSettings(Settings settings) {
  settings_ = std::move(settings);
  UseLayersOfSettings();
  Changed();
}

void Workbench::Say(std::string line) {
  messages_.push_back(std::move(line));
  // The window shows the last few; a session left open all day keeps a bounded list.
  constexpr std::size_t kKept = 200;
  if (messages_.size() > kKept) {
    messages_.erase(messages_.begin(), messages_.begin() + static_cast<std::ptrdiff_t>(messages_.size() - kKept));
  }
}

void Workbench::Open(const std::string& path) {
  scanJob_.reset();
  regionLoad_.reset();
  checkJob_.reset();
  objectsJob_.reset();
  whereUsedJob_.reset();
  opened_ = OpenPath(path);
  ++openGeneration_;
  chunkLines_.clear();
  if (opened_.kind == OpenedKind::kOtherContainer) {
    chunkLines_ = ChunkLines(opened_.selected);
  }
  regions_.clear();
  selectedRegion_.reset();
  shown_.reset();
  shownProblem_.clear();
  check_.reset();
  objects_.reset();
  selectedObject_.reset();
  whereUsed_.reset();
  marks_ = MapMarks{};
  Changed();
  if (!opened_.problem.empty()) {
    Say(opened_.problem);
  }
  if (!opened_.note.empty()) {
    Say(opened_.note);
  }
  if (opened_.folder.empty()) {
    return;
  }
  RememberFolder(settings_, opened_.folder);
  for (const std::string& region : opened_.regionFiles) {
    RegionSlot slot;
    slot.status.path = region;
    slot.status.file = platform::FileNameOf(region);
    regions_.push_back(std::move(slot));
  }
  std::optional<std::size_t> first;
  if (!regions_.empty()) {
    first = 0;
  }
  if (opened_.kind == OpenedKind::kRegion) {
    first = RegionIndexOf(platform::FileNameOf(opened_.selected));
  }
  if (first) {
    keepViewOnLoad_ = false;
    StartRegionLoad(*first);
  }
  StartScan();
  StartCheck();
  StartObjects();
}

void Workbench::Reload() {
  if (!HasFolder()) {
    return;
  }
  const std::optional<std::size_t> region = selectedRegion_;
  const std::string file = region ? regions_[*region].status.file : std::string();
  const MapView view = view_;
  const std::optional<std::size_t> entity = marks_.selectedEntity;
  Open(opened_.selected.empty() ? opened_.folder : opened_.selected);
  if (const std::optional<std::size_t> again = RegionIndexOf(file)) {
    view_ = view;
    keepViewOnLoad_ = true;
    entityOnLoad_ = entity;
    StartRegionLoad(*again);
  }
  Say("Reloaded " + opened_.folder);
}

std::optional<std::size_t> Workbench::RegionIndexOf(const std::string& file) const {
  for (std::size_t index = 0; index < regions_.size(); ++index) {
    if (regions_[index].status.file == file) {
      return index;
    }
  }
  return std::nullopt;
}

void Workbench::StartRegionLoad(std::size_t index) {
  // A new load replaces one under way: its thread is joined first.
  regionLoad_.reset();
  selectedRegion_ = index;
  const std::string path = regions_[index].status.path;
  const std::string library = opened_.library;
  regionLoad_ = std::make_unique<BackgroundJob<LoadedRegion>>(
      [index, path, library](tools::JobContext&) {
        LoadedRegion loaded;
        loaded.index = index;
        MapPainter painter(library);
        ShownRegion region;
        if (painter.Paint(path, region, loaded.problem)) {
          loaded.region = std::move(region);
        }
        return loaded;
      },
      wake_);
}

void Workbench::StartScan() {
  scanInbox_ = std::make_shared<ScanInbox>();
  std::vector<std::string> paths;
  for (const RegionSlot& slot : regions_) {
    paths.push_back(slot.status.path);
  }
  std::function<void()> wake = wake_;
  scanJob_ = std::make_unique<BackgroundJob<bool>>(
      [paths, library = opened_.library, inbox = scanInbox_, wake](tools::JobContext& context) {
        MapPainter painter(library);
        const std::unique_ptr<ObjectLibrary> objects = library.empty() ? nullptr : tools::CheckLibrary(library).library;
        for (std::size_t index = 0; index < paths.size(); ++index) {
          if (context.Cancelled()) {
            return false;
          }
          context.Report(index, paths.size(), platform::FileNameOf(paths[index]));
          ScannedRegion scanned;
          scanned.index = index;
          scanned.status = ScanRegion(paths[index], objects.get());
          if (scanned.status.loads) {
            ShownRegion region;
            std::string problem;
            if (painter.Paint(paths[index], region, problem)) {
              scanned.thumbnail = ThumbnailOf(region.pictures, kThumbnailWidth);
            }
          }
          inbox->Put(std::move(scanned));
          if (wake) {
            wake();
          }
        }
        context.Report(paths.size(), paths.size());
        return true;
      },
      wake_);
}

void Workbench::StartCheck() {
  check_.reset();
  checkJob_ = std::make_unique<BackgroundJob<tools::GameCheckResult>>(
      [folder = opened_.folder](tools::JobContext& context) { return tools::CheckGame(folder, context); }, wake_);
}

void Workbench::StartObjects() {
  objects_.reset();
  if (opened_.library.empty()) {
    return;
  }
  const std::array<Argb, 256> colours = shown_ ? shown_->pictures.colours : ArgbColours(tools::GreyPalette());
  objectsJob_ = std::make_unique<BackgroundJob<ObjectEntries>>(
      [library = opened_.library, colours](tools::JobContext&) { return LoadObjectEntries(library, colours); }, wake_);
}

bool Workbench::Busy() const {
  return scanJob_ != nullptr || regionLoad_ != nullptr || checkJob_ != nullptr || objectsJob_ != nullptr ||
         whereUsedJob_ != nullptr || export_.has_value();
}

void Workbench::TakeScanned() {
  if (scanInbox_ == nullptr) {
    return;
  }
  for (ScannedRegion& scanned : scanInbox_->Take()) {
    if (scanned.index < regions_.size()) {
      RegionSlot& slot = regions_[scanned.index];
      slot.status = std::move(scanned.status);
      slot.thumbnail = std::move(scanned.thumbnail);
      ++slot.thumbnailGeneration;
      slot.scanned = true;
    }
  }
}

void Workbench::TakeRegion() {
  LoadedRegion loaded = regionLoad_->Take();
  regionLoad_.reset();
  if (!loaded.region) {
    shownProblem_ = loaded.problem;
    shown_.reset();
    marks_ = MapMarks{};
    Changed();
    return;
  }
  if (std::exchange(redrawThumbnailOnLoad_, false) && loaded.index < regions_.size()) {
    RegionSlot& slot = regions_[loaded.index];
    slot.thumbnail = ThumbnailOf(loaded.region->pictures, kThumbnailWidth);
    ++slot.thumbnailGeneration;
  }
  const bool firstRegion = !shown_.has_value();
  const bool coloursChanged = firstRegion || shown_->pictures.colours != loaded.region->pictures.colours;
  shown_ = std::move(loaded.region);
  shownProblem_.clear();
  marks_ = MapMarks{};
  if (!keepViewOnLoad_) {
    view_.Reset();
  }
  keepViewOnLoad_ = false;
  if (entityOnLoad_ && *entityOnLoad_ < shown_->entities.size()) {
    SelectEntity(entityOnLoad_, true);
  }
  entityOnLoad_.reset();
  Changed();
  // The object library's pictures are in the shown region's colours.
  if (coloursChanged && !opened_.library.empty()) {
    StartObjects();
  }
}

void Workbench::Poll() {
  TakeScanned();
  if (scanJob_ && scanJob_->Ready()) {
    scanJob_->Take();
    scanJob_.reset();
    TakeScanned();
  }
  if (regionLoad_ && regionLoad_->Ready()) {
    TakeRegion();
  }
  if (checkJob_ && checkJob_->Ready()) {
    check_ = checkJob_->Take();
    checkJob_.reset();
  }
  if (objectsJob_ && objectsJob_->Ready()) {
    objects_ = objectsJob_->Take();
    objectsJob_.reset();
  }
  if (whereUsedJob_ && whereUsedJob_->Ready()) {
    whereUsed_ = whereUsedJob_->Take();
    whereUsedJob_.reset();
  }
  if (export_ && export_->job->Ready()) {
    for (std::string& line : export_->job->Take()) {
      Say(std::move(line));
    }
    export_.reset();
  }
  if (liveEdit_ && liveEdit_->Poll()) {
    ShowEditedFile();
  }
}

void Workbench::ShowEditedFile() {
  const std::string& edited = liveEdit_->gameFile();
  const bool library = edited == opened_.library;
  if (library) {
    StartObjects();
  }
  // The map is drawn again with the view, the zoom and the selection kept.
  if (selectedRegion_ && (library || regions_[*selectedRegion_].status.path == edited) && !regionLoad_) {
    keepViewOnLoad_ = true;
    redrawThumbnailOnLoad_ = true;
    entityOnLoad_ = marks_.selectedEntity;
    StartRegionLoad(*selectedRegion_);
  }
}

void Workbench::StartLiveEdit(bool library) {
  std::string file;
  if (library) {
    file = opened_.library;
  } else if (selectedRegion_) {
    file = regions_[*selectedRegion_].status.path;
  }
  if (file.empty()) {
    Say(library ? "This folder has no object library to edit" : "Show a region to edit it");
    return;
  }
  if (liveEdit_ && liveEdit_->gameFile() == file && liveEdit_->status() != LiveEditStatus::kEnded) {
    return;
  }
  EndLiveEdit();
  liveEdit_ = std::make_unique<LiveEdit>(file, wake_);
}

void Workbench::EndLiveEdit() {
  if (liveEdit_) {
    Say("The edit of " + platform::FileNameOf(liveEdit_->gameFile()) + " ended; its folder stays in " +
        liveEdit_->folder());
    liveEdit_.reset();
  }
}

// Called every frame: the slots are matched where they are, never copied.
std::vector<std::size_t> Workbench::FilteredRegions() const {
  const RegionFilter filter(regionFilter);
  std::vector<std::size_t> kept;
  for (std::size_t index = 0; index < regions_.size(); ++index) {
    if (filter.Matches(regions_[index].status)) {
      kept.push_back(index);
    }
  }
  return kept;
}

void Workbench::ShowRegion(std::size_t index) {
  if (index >= regions_.size()) {
    return;
  }
  keepViewOnLoad_ = false;
  entityOnLoad_.reset();
  StartRegionLoad(index);
}

void Workbench::StepRegion(int delta) {
  if (!selectedRegion_) {
    return;
  }
  const std::ptrdiff_t next = static_cast<std::ptrdiff_t>(*selectedRegion_) + delta;
  if (next < 0 || next >= static_cast<std::ptrdiff_t>(regions_.size())) {
    return;
  }
  ShowRegion(static_cast<std::size_t>(next));
}

void Workbench::ToggleLayer(char key) {
  if (kLayerKeys.find(key) == std::string_view::npos) {
    return;
  }
  ShowLayer(settings_, key, !LayerShown(settings_, key));
  UseLayersOfSettings();
  Changed();
}

void Workbench::UseLayersOfSettings() {
  layers_.tiles = LayerShown(settings_, 'T');
  layers_.objects = LayerShown(settings_, 'O');
  layers_.grid = LayerShown(settings_, 'G');
  layers_.boxes = LayerShown(settings_, 'B');
  layers_.viewer = LayerShown(settings_, 'V');
}

void Workbench::SelectEntity(std::optional<std::size_t> index, bool centre) {
  if (!shown_ || (index && *index >= shown_->entities.size())) {
    return;
  }
  marks_.selectedEntity = index;
  if (index && centre) {
    const tools::EntityRow& row = shown_->entities[*index];
    view_.CentreOn(MapPoint{static_cast<std::int32_t>(row.x), static_cast<std::int32_t>(row.y)});
  }
  Changed();
}

void Workbench::ClickMap(ScreenPoint point) {
  if (!shown_) {
    return;
  }
  SelectEntity(EntityAt(*shown_, view_.MapAt(point)), false);
}

std::vector<std::size_t> Workbench::FilteredEntities() const {
  std::vector<std::size_t> rows;
  if (!shown_) {
    return rows;
  }
  for (std::size_t index = 0; index < shown_->entities.size(); ++index) {
    if (entityFilter.empty() || EntityMatches(shown_->entities[index], entityFilter)) {
      rows.push_back(index);
    }
  }
  return rows;
}

void Workbench::ClearSelection() {
  if (marks_.selectedEntity) {
    marks_.selectedEntity.reset();
    Changed();
  }
  selectedObject_.reset();
  whereUsed_.reset();
}

void Workbench::OpenFinding(const tools::Finding& finding) {
  const std::optional<std::size_t> region = RegionIndexOf(platform::FileNameOf(finding.file));
  if (!region) {
    return;
  }
  keepViewOnLoad_ = false;
  entityOnLoad_.reset();
  if (finding.place.entity) {
    entityOnLoad_ = *finding.place.entity;
  }
  StartRegionLoad(*region);
  if (finding.place.cellX && finding.place.cellY) {
    // The view waits for the region: centred on the cell once it is drawn.
    view_.Reset();
    view_.CentreOn(MapPoint{static_cast<std::int32_t>(*finding.place.cellX * 16 + 8),
                            static_cast<std::int32_t>(*finding.place.cellY * 16 + 8)});
    keepViewOnLoad_ = true;
  }
}

void Workbench::SelectObject(std::size_t index) {
  if (!objects_ || index >= objects_->entries.size()) {
    return;
  }
  selectedObject_ = index;
  whereUsed_.reset();
  const std::uint32_t id = objects_->entries[index].row.id;
  whereUsedJob_ = std::make_unique<BackgroundJob<ObjectUses>>(
      [folder = opened_.folder, id](tools::JobContext& context) { return FindObjectUses(folder, id, context); }, wake_);
}

void Workbench::OpenEntity(const std::string& regionPath, std::size_t entity) {
  const std::optional<std::size_t> region = RegionIndexOf(platform::FileNameOf(regionPath));
  if (!region) {
    return;
  }
  if (selectedRegion_ == region && shown_ && !regionLoad_) {
    SelectEntity(entity, true);
    return;
  }
  keepViewOnLoad_ = false;
  entityOnLoad_ = entity;
  StartRegionLoad(*region);
}

void Workbench::StartExport(std::string title, std::function<std::vector<std::string>(tools::JobContext&)> work) {
  if (export_) {
    Say("An export is under way: wait for it or cancel it first");
    return;
  }
  RunningExport running;
  running.title = std::move(title);
  running.job = std::make_unique<BackgroundJob<std::vector<std::string>>>(std::move(work), wake_);
  export_ = std::move(running);
}

void Workbench::ExportRegion(const std::string& output) {
  if (!selectedRegion_) {
    return;
  }
  RegionExport request;
  request.region = regions_[*selectedRegion_].status.path;
  request.objectsShown = layers_.objects;
  request.output = output;
  StartExport("Exporting " + regions_[*selectedRegion_].status.file, [request](tools::JobContext& context) {
    return ExportSummary(request, workbench::ExportRegion(request, context));
  });
}

void Workbench::ExportObjectFrames(const std::string& outputFolder) {
  if (!objects_ || !selectedObject_ || !objects_->entries[*selectedObject_].row.definition) {
    Say("Select an object with a definition first");
    return;
  }
  FramesExport request;
  request.library = opened_.library;
  request.bitmap = objects_->entries[*selectedObject_].row.definition->bitmapId;
  request.region = selectedRegion_ ? regions_[*selectedRegion_].status.path : std::string();
  request.outputFolder = outputFolder;
  StartExport("Exporting the object's frames",
              [request](tools::JobContext& context) { return ExportSummary(request, ExportFrames(request, context)); });
}

void Workbench::ExportAll(const std::string& outputFolder) {
  AllExport request;
  request.folder = opened_.folder;
  request.objectsShown = layers_.objects;
  request.outputFolder = outputFolder;
  StartExport("Exporting every region", [request](tools::JobContext& context) {
    return ExportSummary(request, workbench::ExportAll(request, context));
  });
}

void Workbench::ExportAtlas(const std::string& site) {
  AtlasExport request;
  request.folder = opened_.folder;
  request.objectsShown = layers_.objects;
  request.site = site;
  StartExport("Exporting the atlas", [request](tools::JobContext& context) {
    return ExportSummary(request, workbench::ExportAtlas(request, context));
  });
}

void Workbench::CancelExport() {
  if (export_) {
    export_->job->Cancel();
  }
}

}  // namespace karst::workbench
