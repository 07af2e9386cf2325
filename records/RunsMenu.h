#pragma once

// Opiton > Runs folder and Opiton > Runs, decided once for both programs: what each makes and
// opens, and the box each shows when it cannot. A window gives only the desktop's call that opens
// a folder or a page.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "run/MessageBoxes.h"

// Opens a folder in the file manager, or a page in the browser; false when the desktop could not.
using OpenOnDesktop = std::function<bool(const std::filesystem::path&)>;

// Runs folder: the folder, made first when missing (before the first run the file manager would
// show nothing); the box "RUNS FOLDER" when the desktop cannot open it.
void OpenRunsFolder(const std::filesystem::path& folder, const OpenOnDesktop& open,
                    MessageBoxes& boxes);

// Runs: the folder's index, brought up to date first (RunsIndexToShow); the box "RUNS", with the
// reason when there is one, when there is no index to show or the desktop cannot open it.
void OpenRunsIndex(const std::filesystem::path& folder, const OpenOnDesktop& open,
                   MessageBoxes& boxes);

// The index of the folder (made when missing, so that the index shows an empty folder before the
// first run), written anew. The index file, or nothing with the reason in `problem` when it could
// not be written and no earlier one exists.
std::optional<std::filesystem::path> RunsIndexToShow(const std::filesystem::path& folder,
                                                     std::string& problem);

// The caption and text of the box that says the index could not be shown.
inline constexpr const char* kCannotShowRunsCaption = "RUNS";
std::string CannotShowRunsText(const std::string& problem);
