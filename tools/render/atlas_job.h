// A game folder made into a web site of zoomable maps, `karst-render atlas` as a call: for every
// region its map (with objects), its ground (tiles only), a thumbnail and its entity rows, and the
// page that lists them all (tools/render/atlas_site.h has the site's own rules).
//
// Every file is named and checked before the first is written, and each is written aside and
// renamed. The page says the site is unfinished until the run is over: a run that is cancelled,
// or stopped, leaves the files it finished, each whole, and a page that says so; the next run
// replaces the site whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/job/job_context.h"
#include "tools/render/region_loop.h"

namespace karst::tools {

struct AtlasRequest {
  std::string folder;
  std::string site;        // missing, empty, or an earlier atlas
  bool noObjects = false;  // draw the tiles only
  std::uint32_t jobs = 0;  // regions drawn at once; 0: one per core
};

struct AtlasResult {
  // The run's outputs are the regions' maps; a problem of kind kOutputRefused is a site that may
  // not be written into, or one of its files, found before any was written.
  FolderRun run;
  // Files of the earlier site that this one no longer has and that were left where they are: one
  // that holds a GFF container now, or is reached through a folder that became a link. The site's
  // marker still lists them.
  std::vector<std::string> leftInPlace;
};

AtlasResult MakeAtlas(const AtlasRequest& request, JobContext& context);

}  // namespace karst::tools
