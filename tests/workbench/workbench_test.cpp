// The workbench's model as the window drives it, without a window: opening a folder, stepping,
// the layers, the selection, reloading, findings and damaged folders.
#include "workbench/model/workbench.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/temp_dir.h"

namespace karst::workbench {
namespace {

// Polls until nothing runs beside the model; the limit only keeps a hung job from hanging the
// suite, it is no goal.
void Settle(Workbench& model) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  model.Poll();
  while (model.Busy() && std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    model.Poll();
  }
  ASSERT_FALSE(model.Busy());
}

class WorkbenchTest : public ::testing::Test {
 protected:
  WorkbenchTest() : model_([] {}) {
    testing::WriteSampleWorld(world_.path());
    model_.view().Resize(800, 600);
  }
  std::string World() const { return world_.path().string(); }

  testing::TempDir world_;
  Workbench model_;
};

TEST_F(WorkbenchTest, OpensTheFirstRegionAtZoomOneAndItsTopLeft) {
  model_.view().ZoomIn();
  model_.view().PanBy(-40, -40);
  model_.Open(World());
  Settle(model_);
  ASSERT_NE(model_.shown(), nullptr);
  EXPECT_EQ(model_.selectedRegion(), 0u);
  EXPECT_EQ(model_.view().zoomStep(), kZoomOneStep);
  EXPECT_EQ(model_.view().scrollX(), 0);
  EXPECT_EQ(model_.view().scrollY(), 0);
  ASSERT_GE(model_.regions().size(), 3u);
  for (const RegionSlot& slot : model_.regions()) {
    EXPECT_TRUE(slot.scanned);
    EXPECT_TRUE(slot.status.loads) << slot.status.file;
    ASSERT_TRUE(slot.thumbnail.has_value()) << slot.status.file;
    EXPECT_EQ(slot.thumbnail->width, kThumbnailWidth);
  }
  EXPECT_NE(model_.check(), nullptr);
  EXPECT_NE(model_.objects(), nullptr);
}

TEST_F(WorkbenchTest, StepsStopAtBothEndsAsTheViewerDoes) {
  model_.Open(World());
  Settle(model_);
  const std::size_t last = model_.regions().size() - 1;
  struct Step {
    int delta;
    std::size_t expected;
  };
  for (const Step& step : {Step{-1, 0}, Step{1, 1}, Step{-1, 0}, Step{-1, 0}}) {
    model_.StepRegion(step.delta);
    Settle(model_);
    EXPECT_EQ(model_.selectedRegion(), step.expected) << step.delta;
  }
  model_.ShowRegion(last);
  Settle(model_);
  model_.StepRegion(1);
  Settle(model_);
  EXPECT_EQ(model_.selectedRegion(), last);
  const ShownRegion* shown = model_.shown();
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->path, model_.regions()[last].status.path);
}

TEST_F(WorkbenchTest, LayerKeysAreKeptInTheSettingsAndRedrawTheMap) {
  model_.UseSettings(Settings{});
  EXPECT_TRUE(model_.layers().tiles);
  EXPECT_TRUE(model_.layers().objects);
  EXPECT_FALSE(model_.layers().grid || model_.layers().boxes || model_.layers().viewer);
  struct Press {
    char key;
    const char* layers;
  };
  for (const Press& press : {Press{'G', "TOG"}, Press{'T', "OG"}, Press{'x', "OG"}, Press{'V', "OGV"}, Press{'G', "OV"},
                             Press{'B', "OBV"}}) {
    const std::uint64_t before = model_.mapGeneration();
    model_.ToggleLayer(press.key);
    std::string shown = model_.settings().layers;
    std::sort(shown.begin(), shown.end(), [](char a, char b) { return kLayerKeys.find(a) < kLayerKeys.find(b); });
    EXPECT_EQ(shown, press.layers) << press.key;
    EXPECT_EQ(model_.mapGeneration() != before, press.key != 'x') << press.key;
  }
  EXPECT_FALSE(model_.layers().tiles);
  EXPECT_TRUE(model_.layers().boxes);
}

TEST_F(WorkbenchTest, ReloadKeepsTheRegionTheViewAndTheSelection) {
  model_.Open(World());
  Settle(model_);
  model_.ShowRegion(1);
  Settle(model_);
  const ShownRegion* shown = model_.shown();
  ASSERT_NE(shown, nullptr);
  ASSERT_FALSE(shown->entities.empty());
  model_.view().ZoomIn();
  model_.SelectEntity(0, true);
  const std::int32_t scrollX = model_.view().scrollX();
  const std::int32_t scrollY = model_.view().scrollY();
  model_.Reload();
  Settle(model_);
  EXPECT_EQ(model_.selectedRegion(), 1u);
  EXPECT_EQ(model_.view().zoomStep(), kZoomOneStep + 1);
  EXPECT_EQ(model_.view().scrollX(), scrollX);
  EXPECT_EQ(model_.view().scrollY(), scrollY);
  EXPECT_EQ(model_.marks().selectedEntity, 0u);
}

TEST_F(WorkbenchTest, ClickingAnEntitySelectsItAndEscapeClearsIt) {
  model_.Open(World());
  Settle(model_);
  const ShownRegion* shown = model_.shown();
  ASSERT_NE(shown, nullptr);
  const ShownRegion& region = *shown;
  // A drawn entity far enough from the region's edges for the view to centre it.
  std::optional<std::size_t> drawn;
  for (std::size_t index = 0; index < region.entities.size() && !drawn; ++index) {
    const tools::EntityRow& row = region.entities[index];
    if (row.drawn() && row.x >= 400 && row.x <= 2048 - 400 && row.y >= 300 && row.y <= 1536 - 300) {
      drawn = index;
    }
  }
  ASSERT_TRUE(drawn.has_value());
  model_.SelectEntity(*drawn, true);
  // Centred: the entity's anchor is in the middle of the view.
  const ScreenPoint anchor = model_.view().ScreenAt(MapPoint{static_cast<std::int32_t>(region.entities[*drawn].x),
                                                             static_cast<std::int32_t>(region.entities[*drawn].y)});
  EXPECT_NEAR(anchor.x, 400, 1);
  EXPECT_NEAR(anchor.y, 300, 1);
  model_.ClearSelection();
  EXPECT_FALSE(model_.marks().selectedEntity.has_value());
  model_.ClickMap(ScreenPoint{-5000, -5000});
  EXPECT_FALSE(model_.marks().selectedEntity.has_value());
}

TEST_F(WorkbenchTest, DamagedFolderListsWhatCannotBeShownAndNeverStops) {
  const std::filesystem::path folder = world_.path();
  std::filesystem::remove(folder / "OBJEX.GFF");
  std::filesystem::resize_file(folder / "RGN02.GFF", 20000);
  std::ofstream(folder / "RGN09.GFF") << "not a container";
  std::filesystem::create_directory(folder / "RGN10.GFF");
  model_.Open(World());
  Settle(model_);
  ASSERT_GE(model_.regions().size(), 4u);
  std::size_t refused = 0;
  for (std::size_t index = 0; index < model_.regions().size(); ++index) {
    const RegionSlot& slot = model_.regions()[index];
    EXPECT_TRUE(slot.scanned) << slot.status.file;
    if (!slot.status.loads) {
      ++refused;
      EXPECT_FALSE(slot.status.why.empty()) << slot.status.file;
      model_.ShowRegion(index);
      Settle(model_);
      EXPECT_EQ(model_.shown(), nullptr) << slot.status.file;
      EXPECT_NE(model_.shownProblem().find(slot.status.file), std::string::npos) << model_.shownProblem();
    }
  }
  EXPECT_GE(refused, 2u);
  const tools::GameCheckResult* check = model_.check();
  ASSERT_NE(check, nullptr);
  EXPECT_FALSE(check->Passed());
}

TEST_F(WorkbenchTest, AFindingOpensItsRegionAtItsEntity) {
  // A library cut short lends no bitmaps: every entity's finding names the first entity it meets.
  const std::filesystem::path library = world_.path() / "OBJEX.GFF";
  std::filesystem::resize_file(library, 3000);
  model_.Open(World());
  Settle(model_);
  const tools::GameCheckResult* check = model_.check();
  ASSERT_NE(check, nullptr);
  std::optional<tools::Finding> placed;
  for (const tools::CheckedFile& file : check->files) {
    for (const tools::Finding& finding : file.findings) {
      if (!placed && file.region && finding.place.entity && file.file.find("RGN02") != std::string::npos) {
        placed = finding;
      }
    }
  }
  ASSERT_TRUE(placed.has_value());
  model_.OpenFinding(*placed);
  Settle(model_);
  ASSERT_TRUE(model_.selectedRegion().has_value());
  EXPECT_EQ(model_.regions()[*model_.selectedRegion()].status.file, "RGN02.GFF");
  EXPECT_EQ(model_.marks().selectedEntity, *placed->place.entity);
}

}  // namespace
}  // namespace karst::workbench
