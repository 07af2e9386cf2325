#include "records/RunsMenu.h"

#include <system_error>

#include "records/PageParts.h"
#include "records/RunsIndex.h"

namespace fs = std::filesystem;

void OpenRunsFolder(const fs::path& folder, const OpenOnDesktop& open, MessageBoxes& boxes) {
  // Where it cannot be made, the desktop is still asked: its failure is the one the box tells.
  std::error_code ignored;
  fs::create_directories(folder, ignored);
  if (!open(folder)) {
    boxes.ShowExclamation("Can not open the folder " + page::PathText(folder), "RUNS FOLDER");
  }
}

void OpenRunsIndex(const fs::path& folder, const OpenOnDesktop& open, MessageBoxes& boxes) {
  std::string problem;
  const std::optional<fs::path> index = RunsIndexToShow(folder, problem);
  if (!index || !open(*index)) {
    boxes.ShowExclamation(CannotShowRunsText(problem), kCannotShowRunsCaption);
  }
}

std::optional<fs::path> RunsIndexToShow(const fs::path& folder, std::string& problem) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    problem = page::PathText(folder) + ": " + error.message();
    return std::nullopt;
  }
  const fs::path index = folder / kIndexFileName;
  if (WriteRunsIndex(folder, problem) || fs::is_regular_file(index, error)) return index;
  return std::nullopt;
}

std::string CannotShowRunsText(const std::string& problem) {
  return "Can not show the runs" + (problem.empty() ? std::string() : "\n" + problem);
}
