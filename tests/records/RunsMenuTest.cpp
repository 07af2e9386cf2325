// Opiton > Runs folder and Opiton > Runs as both programs' windows have them, without a window:
// what is made, what the desktop is asked to open, and the box when it cannot.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "records/RunsMenu.h"
#include "tests/support/Recorders.h"

namespace {

namespace fs = std::filesystem;

TEST(RunsMenu, OpensTheFolderAndItsIndexAndABoxSaysWhenItCannot) {
  TempDir dir;
  const fs::path folder = dir.Path() / "records" / "runs";
  std::vector<fs::path> opened;
  bool desktopOpens = true;
  const OpenOnDesktop desktop = [&](const fs::path& path) {
    opened.push_back(path);
    return desktopOpens;
  };
  RecordingBoxes boxes;
  OpenRunsFolder(folder, desktop, boxes);
  EXPECT_TRUE(fs::is_directory(folder)) << "made before the first run";
  OpenRunsIndex(folder, desktop, boxes);
  EXPECT_EQ(opened, (std::vector<fs::path>{folder, folder / "index.html"}));
  EXPECT_TRUE(boxes.shown.empty());

  desktopOpens = false;
  OpenRunsFolder(folder, desktop, boxes);
  OpenRunsIndex(folder, desktop, boxes);
  EXPECT_EQ(boxes.shown,
            (std::vector<ShownBox>{{"Can not open the folder " + folder.string(), "RUNS FOLDER"},
                                   {"Can not show the runs", "RUNS"}}));

  // No folder where a file stands: nothing to open, and the box says why.
  WriteBytes(dir.Path() / "file", "not a folder");
  OpenRunsIndex(dir.Path() / "file" / "runs", desktop, boxes);
  EXPECT_EQ(opened.size(), 4u);
  ASSERT_EQ(boxes.shown.size(), 3u);
  EXPECT_EQ(boxes.shown[2].caption, "RUNS");
  EXPECT_EQ(boxes.shown[2].text.rfind("Can not show the runs\n", 0), 0u) << boxes.shown[2].text;
  EXPECT_NE(boxes.shown[2].text.find("file"), std::string::npos) << boxes.shown[2].text;
}

TEST(RunsIndexFile, IsMadeForAnEmptyFolderAndRefusedWhereNoFolderCanBe) {
  TempDir dir;
  std::string problem;
  const auto index = RunsIndexToShow(dir.Path() / "runs", problem);
  ASSERT_TRUE(index) << problem;
  EXPECT_EQ(*index, dir.Path() / "runs" / "index.html");
  EXPECT_NE(ReadBytes(*index).find("No run yet."), std::string::npos);

  WriteBytes(dir.Path() / "file", "not a folder");
  EXPECT_FALSE(RunsIndexToShow(dir.Path() / "file" / "runs", problem));
  EXPECT_NE(problem.find("file"), std::string::npos) << problem;
  EXPECT_EQ(ReadBytes(dir.Path() / "file"), "not a folder");
}

}  // namespace
