#include "tools/edit/edit_loop.h"

#include "platform/folder_watch.h"
#include "tools/pack/unpack_manifest.h"

namespace karst::tools {
namespace {

// How long a watch waits while nothing is pending: only a change, a cancel or the folder's
// going ends a wait; this only bounds it.
constexpr std::chrono::minutes kIdleWait{10};

// The context's waker for as long as the watch lives.
class WakerSet {
 public:
  WakerSet(JobContext& context, platform::FolderWatch& watch) : context_(context) {
    context_.SetWaker([&watch] { watch.Wake(); });
  }
  ~WakerSet() { context_.SetWaker({}); }
  WakerSet(const WakerSet&) = delete;
  WakerSet& operator=(const WakerSet&) = delete;

 private:
  JobContext& context_;
};

}  // namespace

std::optional<SettleRule::Clock::time_point> SettleRule::SettlesAt() const {
  if (!pending_) {
    return std::nullopt;
  }
  return lastChange_ + settle_;
}

bool SettleRule::TakeSettled(Clock::time_point now) {
  if (!pending_ || now < lastChange_ + settle_) {
    return false;
  }
  pending_ = false;
  return true;
}

void RunEditLoop(const WatchRequest& request, JobContext& context, const std::function<void(const EditPack&)>& report) {
  platform::FolderWatch watch(request.pack.folder);
  watch.Ignore(kPackRecordName);
  watch.Ignore(kEditStateName);
  const WakerSet waker(context, watch);
  SettleRule settle(request.settle);
  if (request.packAtStart) {
    settle.Changed(SettleRule::Clock::now() - request.settle);
  }
  while (!context.Cancelled()) {
    std::chrono::milliseconds wait = kIdleWait;
    if (const auto settlesAt = settle.SettlesAt()) {
      wait = std::max(std::chrono::milliseconds(0),
                      std::chrono::ceil<std::chrono::milliseconds>(*settlesAt - SettleRule::Clock::now()));
    }
    const platform::WatchEvent event = watch.Wait(wait);
    if (event == platform::WatchEvent::kGone) {
      EditPack gone;
      gone.outcome = EditOutcome::kFolderGone;
      report(gone);
      return;
    }
    if (event == platform::WatchEvent::kChanged) {
      settle.Changed(SettleRule::Clock::now());
    }
    if (context.Cancelled() || !settle.TakeSettled(SettleRule::Clock::now())) {
      continue;
    }
    // Changes made while it packs wait in the watch: the next Wait sees them, and another pack
    // follows once they settle.
    EditPack pack = PackEdit(request.pack, context);
    report(pack);
    if (pack.outcome == EditOutcome::kFolderGone) {
      return;
    }
  }
}

}  // namespace karst::tools
