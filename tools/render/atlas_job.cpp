#include "tools/render/atlas_job.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <system_error>
#include <utility>

#include <nlohmann/json.hpp>

#include "data/object_library.h"
#include "data/region.h"
#include "platform/paths.h"
#include "tools/files/input_file.h"
#include "tools/files/output_checks.h"
#include "tools/files/output_file.h"
#include "tools/inspect/entity_rows.h"
#include "tools/render/atlas_page.h"
#include "tools/render/atlas_site.h"
#include "tools/render/render_region.h"
#include "tools/text/json_text.h"

namespace karst::tools {
namespace {

constexpr const char* kIndexData = "data/index.js";
constexpr std::string_view kIndexPage = "index.html";

// One region's files in the site, all named after the region's unique name.
struct AtlasJob {
  std::string input;
  std::string name;
  std::string map;        // maps/NAME.png: with the objects when there are any to draw
  std::string ground;     // ground/NAME.png: the tiles only; empty when the map is that already
  std::string thumbnail;  // thumbs/NAME.png
  std::string json;       // data/NAME.json
  std::string script;     // data/NAME.js
};

// What the site shows of a region, beside its outcome. Each worker fills the ones of the regions
// it takes; the job reads them once every worker has ended.
struct AtlasRegion {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::string> files;  // what was written, relative to the site
  std::vector<EntityRow> rows;
  std::string title;  // the region's own name, its bytes as they stand
};

std::span<const std::uint8_t> BytesOf(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string SitePath(const std::filesystem::path& site, std::string_view file) {
  return platform::PathText(site / platform::NativePath(std::string(file)));
}

// The page as the run writes it before any region: with a notice, right after <body>, that the
// site is not finished. The finished run writes the page without it, so a site whose run was cut
// short says so.
std::string UnfinishedPage(std::span<const std::uint8_t> page) {
  std::string text(page.begin(), page.end());
  constexpr std::string_view kBody = "<body>\n";
  const std::size_t at = text.find(kBody);
  if (at != std::string::npos) {
    text.insert(at + kBody.size(),
                "<p id=\"unfinished\">This atlas is unfinished: it is being made, or its making was cut short. "
                "Run karst-render atlas again to finish it.</p>\n");
  }
  return text;
}

// Writes one file of the site and notes it as written. Empty on success, else the reason.
std::string WriteSiteFile(const std::filesystem::path& site, const std::string& file,
                          std::span<const std::uint8_t> bytes, std::vector<std::string>& written) {
  std::string error = WriteOutput(SitePath(site, file), bytes);
  if (error.empty()) {
    written.push_back(file);
  }
  return error;
}

std::string WriteSitePicture(const std::filesystem::path& site, const std::string& file, const RegionPicture& picture,
                             std::vector<std::string>& written) {
  std::string error = WritePicture(SitePath(site, file), picture);
  if (error.empty()) {
    written.push_back(file);
  }
  return error;
}

// Writes what the drawn pictures give: the map, the ground, the thumbnail. Empty on success,
// else the reason, with the outcome's `failedFile` set.
std::string WritePictures(const std::filesystem::path& site, const AtlasJob& job, const RegionPicture& map,
                          const RegionPicture* ground, RegionOutcome& outcome, AtlasRegion& region) {
  struct Picture {
    const std::string& file;
    const RegionPicture& picture;
  };
  const RegionPicture thumbnail = Thumbnail(map);
  std::vector<Picture> pictures{{job.map, map}, {job.thumbnail, thumbnail}};
  if (ground != nullptr) {
    pictures.push_back({job.ground, *ground});
  }
  for (const Picture& picture : pictures) {
    if (std::string error = WriteSitePicture(site, picture.file, picture.picture, region.files); !error.empty()) {
      outcome.failedFile = SitePath(site, picture.file);
      return error;
    }
  }
  return {};
}

// The region's entity rows, as karst-gff entities gives them, as JSON and as the page's script.
// Empty on success, else the reason, with the outcome's `failedFile` set.
std::string WriteData(const std::filesystem::path& site, const AtlasJob& job, const ObjectLibrary* library,
                      RegionOutcome& outcome, AtlasRegion& region) {
  std::vector<LoadNote> quiet;  // the renderer has reported what this load meets
  std::string error;
  const std::unique_ptr<Region> read = ReadRegionInput(job.input, LoadReport::Into(quiet), error);
  if (read == nullptr) {
    return error;
  }
  region.rows = EntityRows(*read, library);
  region.title = read->name.value_or("");
  // Byte for byte what karst-gff entities --json prints, line end included.
  const std::string json =
      EntityRowsJson(platform::PathText(platform::NativePath(job.input).filename()), region.rows) + "\n";
  const std::string script = ScriptCall("region", {JsonText(job.name), json.substr(0, json.size() - 1)});
  for (const auto& [file, text] : {std::pair{&job.json, &json}, std::pair{&job.script, &script}}) {
    error = WriteSiteFile(site, *file, BytesOf(*text), region.files);
    if (!error.empty()) {
      outcome.failedFile = SitePath(site, *file);
      return error;
    }
  }
  return {};
}

// One worker: its own displays and library, so nothing it reads or draws is shared: one display
// with the folder's library for the maps, one without for the ground pictures. Takes the next
// region until none is left.
void DrawRegions(const std::vector<AtlasJob>& jobs, const std::filesystem::path& site, const std::string& objectsPath,
                 RegionQueue& queue, std::vector<AtlasRegion>& regions) {
  RegionRenderer withObjects(RegionRenderer::Frame::kWholeRegion);
  RegionRenderer ground(RegionRenderer::Frame::kWholeRegion);
  std::unique_ptr<ObjectLibrary> library;
  std::string setUpError = withObjects.SetUp();
  if (setUpError.empty() && !objectsPath.empty()) {
    setUpError = ground.SetUp();
    // The job has loaded the library once already and kept what it found.
    withObjects.LoadObjects(objectsPath);
    withObjects.TakeNotes();
    std::vector<LoadNote> quiet;
    std::string ignored;
    library = ReadLibraryInput(objectsPath, LoadReport::Into(quiet), ignored);
  }
  for (std::optional<std::size_t> index = queue.Take(); index; index = queue.Take()) {
    const AtlasJob& job = jobs[*index];
    AtlasRegion& region = regions[*index];
    RegionOutcome result;
    result.failedFile = job.input;
    RegionPicture map;
    RegionPicture tiles;
    if (!setUpError.empty()) {
      result.error = setUpError;
    } else if (withObjects.Render(job.input, ViewOrigin{}, map, result.error)) {
      result.diagnostics = DistinctTexts(withObjects.TakeNotes());
      result.entities = withObjects.Entities();
      region.width = map.width;
      region.height = map.height;
      const bool groundDrawn = objectsPath.empty() || ground.Render(job.input, ViewOrigin{}, tiles, result.error);
      ground.TakeNotes();
      if (groundDrawn) {
        result.error = WritePictures(site, job, map, objectsPath.empty() ? nullptr : &tiles, result, region);
      }
      if (groundDrawn && result.error.empty()) {
        result.error = WriteData(site, job, library.get(), result, region);
        result.written = result.error.empty();
      }
    } else {
      result.diagnostics = DistinctTexts(withObjects.TakeNotes());
    }
    queue.Post(*index, std::move(result));
  }
}

// The site's index data: every drawn region in the viewer's order, and the ones that failed.
std::string IndexScript(const std::vector<AtlasJob>& jobs, const std::vector<RegionOutcome>& outcomes,
                        const std::vector<AtlasRegion>& drawn, bool objects) {
  nlohmann::json regions = nlohmann::json::array();
  nlohmann::json failed = nlohmann::json::array();
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const std::string file = platform::PathText(platform::NativePath(jobs[i].input).filename());
    if (!outcomes[i].written) {
      failed.push_back({{"file", file}, {"reason", outcomes[i].error}});
      continue;
    }
    // What the search looks through: [index, objectId, bitmapId, x, y] of every entity.
    nlohmann::json rows = nlohmann::json::array();
    for (const EntityRow& row : drawn[i].rows) {
      rows.push_back(
          {row.index, row.objectId, row.bitmapId ? nlohmann::json(*row.bitmapId) : nlohmann::json(), row.x, row.y});
    }
    regions.push_back({{"name", jobs[i].name},
                       {"title", ByteText(drawn[i].title)},
                       {"file", file},
                       {"width", drawn[i].width},
                       {"height", drawn[i].height},
                       {"rows", rows}});
  }
  const nlohmann::json index = {{"regions", regions}, {"failed", failed}, {"objects", objects}};
  return ScriptCall("index", {JsonText(index)});
}

// Every file the site will have, each checked against the output rules, before the first is
// written. The refusal of the first that may not be; none when all may.
std::optional<JobProblem> RefuseSiteFiles(const std::filesystem::path& site, const std::vector<std::string>& files,
                                          const InputFiles& inputs) {
  for (const std::string& file : files) {
    if (std::string refusal = RefuseOutput(SitePath(site, file), inputs); !refusal.empty()) {
      return JobProblem{SitePath(site, file), ProblemKind::kOutputRefused, std::move(refusal), {}};
    }
  }
  return std::nullopt;
}

// Removes the files of the earlier site that this one no longer has. A file that holds a GFF
// container now, or is reached through a folder that became a link, is left where it is, and
// stays listed: whoever put it there wants it. Returns the files that are still ours after all.
std::vector<std::string> RemoveStale(const std::filesystem::path& site, const std::vector<std::string>& earlier,
                                     const std::set<std::string>& current) {
  std::vector<std::string> kept;
  for (const std::string& file : earlier) {
    if (current.contains(file)) {
      continue;
    }
    const std::filesystem::path path = site / platform::NativePath(file);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
      continue;
    }
    // Through a folder that is now a link, the file would be someone else's, outside the site.
    const bool inRealFolder =
        path.parent_path() == site ||
        std::filesystem::symlink_status(path.parent_path(), error).type() == std::filesystem::file_type::directory;
    const bool plain = inRealFolder && (status.type() == std::filesystem::file_type::regular ||
                                        status.type() == std::filesystem::file_type::symlink);
    if (!plain || !RefuseOutput(platform::PathText(path), InputFiles({})).empty() ||
        !std::filesystem::remove(path, error)) {
      kept.push_back(file);
    }
  }
  return kept;
}

// What the run wrote, each file once, as paths: the marker, and the site's files in `files`.
std::vector<std::string> WrittenPaths(const std::filesystem::path& site, const std::vector<std::string>& files) {
  std::vector<std::string> paths{SitePath(site, kAtlasMarkerName)};
  std::set<std::string> seen;
  for (const std::string& file : files) {
    if (seen.insert(file).second) {
      paths.push_back(SitePath(site, file));
    }
  }
  return paths;
}

}  // namespace

AtlasResult MakeAtlas(const AtlasRequest& request, JobContext& context) {
  AtlasResult result;
  FolderRun& run = result.run;
  const std::optional<InputFiles> inputs = PlanFolderRun(request.folder, request.site, run);
  if (!inputs) {
    return result;
  }
  const SiteFolder earlier = InspectSiteFolder(request.site);
  if (earlier.kind == SiteFolder::Kind::kForeign || earlier.kind == SiteFolder::Kind::kUnreadable) {
    run.problems.push_back(
        {request.site,
         earlier.kind == SiteFolder::Kind::kForeign ? ProblemKind::kOutputRefused : ProblemKind::kUnreadable,
         earlier.reason,
         {}});
    return result;
  }
  std::string objectsPath;
  if (!request.noObjects) {
    run.library = UsableLibrary(request.folder);
    objectsPath = run.library->problem ? std::string() : run.library->path;
  }

  // Every file is known, and checked, before the first is written.
  const std::filesystem::path site = platform::NativePath(request.site);
  std::vector<AtlasJob> jobs;
  std::vector<std::string> planned{kIndexData};
  for (const PageFile& page : AtlasPageFiles()) {
    planned.emplace_back(page.name);
  }
  for (const PlannedRegion& region : run.regions) {
    AtlasJob job{region.input,
                 region.name,
                 "maps/" + region.name + ".png",
                 objectsPath.empty() ? std::string() : "ground/" + region.name + ".png",
                 "thumbs/" + region.name + ".png",
                 "data/" + region.name + ".json",
                 "data/" + region.name + ".js"};
    for (const std::string* file : {&job.map, &job.ground, &job.thumbnail, &job.json, &job.script}) {
      if (!file->empty()) {
        planned.push_back(*file);
      }
    }
    run.outputs.push_back(SitePath(site, job.map));
    jobs.push_back(std::move(job));
  }
  if (std::optional<JobProblem> refusal = RefuseSiteFiles(site, planned, *inputs)) {
    run.problems.push_back(std::move(*refusal));
    return result;
  }
  for (const char* subfolder : {"data", "maps", "ground", "thumbs"}) {
    if (objectsPath.empty() && std::string_view(subfolder) == "ground") {
      continue;
    }
    if (std::string problem = MakeOutputFolder(SitePath(site, subfolder)); !problem.empty()) {
      run.problems.push_back({SitePath(site, subfolder), ProblemKind::kWriteFailed, std::move(problem), {}});
      return result;
    }
  }
  // Until the run is over the marker lists the earlier site's files and this one's, so that an
  // interrupted run leaves a site that the next run may replace whole.
  std::vector<std::string> claimed = earlier.files;
  claimed.insert(claimed.end(), planned.begin(), planned.end());
  const std::string markerPath = SitePath(site, kAtlasMarkerName);
  if (std::string markerError = WriteOutput(markerPath, BytesOf(MarkerText(claimed))); !markerError.empty()) {
    run.problems.push_back({markerPath, ProblemKind::kWriteFailed, std::move(markerError), {}});
    return result;
  }

  // The page before the regions, saying that the site is unfinished until the run is over.
  std::vector<std::string> written;
  for (const PageFile& page : AtlasPageFiles()) {
    const std::string unfinished = page.name == kIndexPage ? UnfinishedPage(page.bytes) : std::string();
    const std::span<const std::uint8_t> bytes = page.name == kIndexPage ? BytesOf(unfinished) : page.bytes;
    if (std::string pageError = WriteSiteFile(site, std::string(page.name), bytes, written); !pageError.empty()) {
      run.written = WrittenPaths(site, written);
      run.problems.push_back({SitePath(site, page.name), ProblemKind::kWriteFailed, std::move(pageError), {}});
      return result;
    }
  }

  std::vector<AtlasRegion> regions(jobs.size());
  run.outcomes = RunRegionLoop(run.regions, request.jobs, context,
                               [&](RegionQueue& queue) { DrawRegions(jobs, site, objectsPath, queue, regions); });
  for (std::size_t index = 0; index < run.outcomes.size(); ++index) {
    written.insert(written.end(), regions[index].files.begin(), regions[index].files.end());
  }
  if (run.outcomes.size() < run.regions.size()) {
    // The page keeps its notice and the marker every file this run may have written.
    run.written = WrittenPaths(site, written);
    run.problems.push_back({request.site,
                            ProblemKind::kCancelled,
                            "cancelled after " + std::to_string(run.outcomes.size()) + " of " +
                                std::to_string(run.regions.size()) + " regions: the atlas is unfinished",
                            {}});
    return result;
  }

  // The index data, then the page without its notice.
  const std::string indexScript = IndexScript(jobs, run.outcomes, regions, !objectsPath.empty());
  std::vector<std::pair<std::string, std::span<const std::uint8_t>>> pages{{kIndexData, BytesOf(indexScript)}};
  for (const PageFile& page : AtlasPageFiles()) {
    if (page.name == kIndexPage) {
      pages.emplace_back(page.name, page.bytes);
    }
  }
  std::optional<JobProblem> siteProblem;
  for (const auto& [file, bytes] : pages) {
    if (std::string siteError = WriteSiteFile(site, file, bytes, written); !siteError.empty()) {
      siteProblem = JobProblem{SitePath(site, file), ProblemKind::kWriteFailed, std::move(siteError), {}};
      break;
    }
  }
  // Without its pages the new site is unfinished: the earlier files stay, and stay listed.
  const std::vector<std::string> kept =
      siteProblem ? earlier.files : RemoveStale(site, earlier.files, std::set(written.begin(), written.end()));
  if (!siteProblem) {
    for (const std::string& file : kept) {
      result.leftInPlace.push_back(SitePath(site, file));
    }
  }
  run.written = WrittenPaths(site, written);
  std::vector<std::string> ours = written;
  ours.insert(ours.end(), kept.begin(), kept.end());
  if (std::string markerError = WriteOutput(markerPath, BytesOf(MarkerText(ours))); !markerError.empty()) {
    run.problems.push_back({markerPath, ProblemKind::kWriteFailed, std::move(markerError), {}});
  } else if (siteProblem) {
    run.problems.push_back(std::move(*siteProblem));
  }
  return result;
}

}  // namespace karst::tools
