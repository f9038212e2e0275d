#include "tools/karst-render/atlas_command.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "data/object_library.h"
#include "data/region.h"
#include "platform/paths.h"
#include "tools/cli/cli.h"
#include "tools/files/input_file.h"
#include "tools/files/output_checks.h"
#include "tools/files/output_file.h"
#include "tools/files/unique_names.h"
#include "tools/inspect/entity_rows.h"
#include "tools/karst-render/atlas_page.h"
#include "tools/karst-render/region_jobs.h"
#include "tools/karst-render/render_tool.h"
#include "tools/render/atlas_site.h"
#include "tools/render/render_region.h"
#include "tools/text/json_text.h"

namespace karst::tools {
namespace {

constexpr const char* kIndexData = "data/index.js";
constexpr std::string_view kIndexPage = "index.html";

struct AtlasOptions {
  std::string folder;
  std::string output;
  bool noObjects = false;
  std::uint32_t jobs = 0;  // 0: one per core
};

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
// it takes; the main thread reads them once every worker has ended.
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
  std::string error = WriteOutput(platform::PathText(site / platform::NativePath(file)), bytes);
  if (error.empty()) {
    written.push_back(file);
  }
  return error;
}

std::string WriteSitePicture(const std::filesystem::path& site, const std::string& file, const RegionPicture& picture,
                             std::vector<std::string>& written) {
  std::string error = WritePicture(platform::PathText(site / platform::NativePath(file)), picture);
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
      outcome.failedFile = platform::PathText(site / platform::NativePath(picture.file));
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
      outcome.failedFile = platform::PathText(site / platform::NativePath(*file));
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
    // The main thread has loaded the library once already and reported what it found.
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
// written. Empty when all may be written, else the refusal (with `refused` naming the file).
std::string RefuseSiteFiles(const std::filesystem::path& site, const std::vector<std::string>& files,
                            const InputFiles& inputs, std::string& refused) {
  for (const std::string& file : files) {
    if (std::string refusal = RefuseOutput(platform::PathText(site / platform::NativePath(file)), inputs);
        !refusal.empty()) {
      refused = platform::PathText(site / platform::NativePath(file));
      return refusal;
    }
  }
  return {};
}

// Removes the files of the earlier site that this one no longer has. A file that holds a GFF
// container now, or is reached through a folder that became a link, is left where it is, and
// stays listed: whoever put it there wants it. Returns the
// files that are still ours after all.
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
      ReportError(kTool, platform::PathText(path), "left in place: it is no longer part of the atlas");
      kept.push_back(file);
    }
  }
  return kept;
}

int RunAtlas(const AtlasOptions& options) {
  const std::filesystem::path folder = platform::NativePath(options.folder);
  const std::vector<std::string> names = FindRegionFiles(kTool, options.folder);
  if (names.empty()) {
    return kExitFailure;
  }
  const InputFiles inputs = FolderInputs(options.folder, names);
  if (const std::string refusal = RefuseOutputFolder(options.output, inputs); !refusal.empty()) {
    ReportError(kTool, options.output, refusal);
    return kExitUsage;
  }
  const SiteFolder earlier = InspectSiteFolder(options.output);
  if (earlier.kind == SiteFolder::Kind::kForeign) {
    ReportError(kTool, options.output, earlier.reason);
    return kExitUsage;
  }
  if (earlier.kind == SiteFolder::Kind::kUnreadable) {
    ReportError(kTool, options.output, earlier.reason);
    return kExitFailure;
  }
  const std::string objectsPath = options.noObjects ? std::string() : UsableLibrary(kTool, platform::PathText(folder));

  // Every file is known, and checked, before the first is written.
  const std::filesystem::path site = platform::NativePath(options.output);
  std::vector<AtlasJob> jobs;
  std::vector<std::size_t> renamed;
  std::vector<std::string> planned{kIndexData};
  for (const PageFile& page : AtlasPageFiles()) {
    planned.emplace_back(page.name);
  }
  UniqueNames siteNames;
  for (const std::string& name : names) {
    const std::string stem = platform::PathText(platform::NativePath(name).stem());
    const std::string unique = siteNames.Claim(stem);
    if (unique != stem) {
      renamed.push_back(jobs.size());
    }
    AtlasJob job{platform::PathText(folder / platform::NativePath(name)),
                 unique,
                 "maps/" + unique + ".png",
                 objectsPath.empty() ? std::string() : "ground/" + unique + ".png",
                 "thumbs/" + unique + ".png",
                 "data/" + unique + ".json",
                 "data/" + unique + ".js"};
    for (const std::string* file : {&job.map, &job.ground, &job.thumbnail, &job.json, &job.script}) {
      if (!file->empty()) {
        planned.push_back(*file);
      }
    }
    jobs.push_back(std::move(job));
  }
  std::string refused;
  if (const std::string refusal = RefuseSiteFiles(site, planned, inputs, refused); !refusal.empty()) {
    ReportError(kTool, refused, refusal);
    return kExitUsage;
  }
  std::error_code error;
  for (const char* subfolder : {"data", "maps", "ground", "thumbs"}) {
    if (objectsPath.empty() && std::string_view(subfolder) == "ground") {
      continue;
    }
    std::filesystem::create_directories(site / platform::NativePath(subfolder), error);
    if (error) {
      ReportError(kTool, platform::PathText(site / platform::NativePath(subfolder)),
                  "cannot create the directory: " + error.message());
      return kExitFailure;
    }
  }
  // Until the run is over the marker lists the earlier site's files and this one's, so that an
  // interrupted run leaves a site that the next run may replace whole.
  std::vector<std::string> claimed = earlier.files;
  claimed.insert(claimed.end(), planned.begin(), planned.end());
  const std::string markerPath = platform::PathText(site / kAtlasMarkerName);
  if (const std::string markerError = WriteOutput(markerPath, BytesOf(MarkerText(claimed))); !markerError.empty()) {
    ReportError(kTool, markerPath, markerError);
    return kExitFailure;
  }

  // The page before the regions, saying that the site is unfinished until the run is over.
  std::vector<std::string> written;
  for (const PageFile& page : AtlasPageFiles()) {
    const std::string unfinished = page.name == kIndexPage ? UnfinishedPage(page.bytes) : std::string();
    const std::span<const std::uint8_t> bytes = page.name == kIndexPage ? BytesOf(unfinished) : page.bytes;
    if (const std::string pageError = WriteSiteFile(site, std::string(page.name), bytes, written); !pageError.empty()) {
      ReportError(kTool, platform::PathText(site / platform::NativePath(page.name)), pageError);
      return kExitFailure;
    }
  }

  RegionLoop loop{kTool, "mapped", names, {}, {}, options.jobs};
  for (const AtlasJob& job : jobs) {
    loop.inputs.push_back(job.input);
    loop.outputs.push_back(platform::PathText(site / platform::NativePath(job.map)));
  }
  std::vector<AtlasRegion> regions(jobs.size());
  const RegionLoopResult result =
      RunRegionLoop(loop, [&](RegionQueue& queue) { DrawRegions(jobs, site, objectsPath, queue, regions); });
  for (const AtlasRegion& region : regions) {
    written.insert(written.end(), region.files.begin(), region.files.end());
  }

  // The index data, then the page without its notice.
  const std::string indexScript = IndexScript(jobs, result.outcomes, regions, !objectsPath.empty());
  std::vector<std::pair<std::string, std::span<const std::uint8_t>>> pages{{kIndexData, BytesOf(indexScript)}};
  for (const PageFile& page : AtlasPageFiles()) {
    if (page.name == kIndexPage) {
      pages.emplace_back(page.name, page.bytes);
    }
  }
  std::string siteError;
  std::string failedPath;
  for (const auto& [file, bytes] : pages) {
    siteError = WriteSiteFile(site, file, bytes, written);
    if (!siteError.empty()) {
      failedPath = platform::PathText(site / platform::NativePath(file));
      break;
    }
  }
  // Without its pages the new site is unfinished: the earlier files stay, and stay listed.
  const std::vector<std::string> kept =
      siteError.empty() ? RemoveStale(site, earlier.files, std::set(written.begin(), written.end())) : earlier.files;
  std::vector<std::string> ours = written;
  ours.insert(ours.end(), kept.begin(), kept.end());
  if (const std::string markerError = WriteOutput(markerPath, BytesOf(MarkerText(ours))); !markerError.empty()) {
    ReportError(kTool, markerPath, markerError);
    return kExitFailure;
  }
  if (!siteError.empty()) {
    ReportError(kTool, failedPath, siteError);
    return kExitFailure;
  }

  FolderSummary summary{"mapped",        platform::PathText(site / "index.html"),
                        jobs.size(),     {},
                        result.failures, " (listed on the index page)"};
  for (const std::size_t index : renamed) {
    summary.renamed.push_back(names[index] + " -> " + jobs[index].name);
  }
  return ReportSummary(kTool, summary);
}

}  // namespace

void AddAtlasCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<AtlasOptions>();
  CLI::App* command = app.add_subcommand("atlas", "Make a game folder into a web site of zoomable maps");
  command->footer(
      "SITE/index.html lists every RGN*.GFF of GAMEDIR in the viewer's order, with a thumbnail and a\n"
      "search for regions by name and entities by object or bitmap number; each region opens as a\n"
      "map that pans and zooms (1/8 to 8 screen pixels a map pixel, never smoothed), with layers\n"
      "for the objects, entity markers and the 16-pixel map cells. Links #REGION/X/Y/ZOOM open a\n"
      "view. The site needs nothing else: open it from disk, or copy the folder to any web host.\n"
      "A region that cannot be drawn is listed on the index page and in the summary; the others\n"
      "are still written. SITE must be missing, empty or an earlier atlas (it holds the marker\n"
      ".karst-atlas, which lists its files): anything else is refused (exit status 2), nothing\n"
      "written. Replacing an atlas removes only the files its marker lists.\n"
      "\n"
      "Exit status: 1 when some region could not be drawn or a file not written, else 0.\n"
      "\n"
      "Examples:\n"
      "  karst-render atlas ~/game -o site                 open site/index.html in a browser\n"
      "  karst-render atlas ~/game -o site --no-objects    the tiles only\n"
      "  karst-render atlas ~/game -o site -j 2            two regions drawn at once");
  command->add_option("GAMEDIR", options->folder, "the game folder")->required()->type_name("");
  command->add_option("-o,--output", options->output, "the site's folder (created when missing)")
      ->required()
      ->type_name("SITE");
  command->add_flag("--no-objects", options->noObjects, "draw the tiles only");
  command->add_option("-j,--jobs", options->jobs, "regions drawn at once (default: one per core)")
      ->check(CLI::Range(1u, kMaxJobs))
      ->option_text("N (1 to 16)");
  command->callback([options, &exitCode] { exitCode = RunAtlas(*options); });
}

}  // namespace karst::tools
