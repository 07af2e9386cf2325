#pragma once

// What the main window shows after each click, the same for every skin: the log's lines as the
// window shows them, the buttons' captions and enabled states, File > Start and the four item
// labels. The Qt window's tests and the Win32 window's tests read the one table.

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace expected {

using Lines = std::vector<std::string>;

struct Shown {
  std::string start;
  bool startEnabled = true;
  std::string cancel;
  bool cancelEnabled = true;
  bool start1Enabled = true;
  std::array<bool, 4> items{true, true, true, true};  // MotorTest, WhiteAdj, BlackAdj, NonAdj
  bool operator==(const Shown&) const = default;
};

inline const Lines kStartUpText{"Conect to PC with QZR-71.", " ",
                                "Press Start button. then check the Adjustment",
                                "Item 1, 2, 3 and 4 in that order."};
inline const Lines kResetText{"Conect to PC with QZR-71.", "",
                              "Press Start-key. then check the Adjustment",
                              "Item 1, 2, 3 and 4 in that order."};
inline const Shown kIdle{"Start", true, "Exit", true, true, {true, true, true, true}};

// A click and what follows it. The log is the whole of `log` when `wholeLog`, else it ends with
// it (the item's own lines come first).
struct Click {
  const char* button;  // the caption clicked
  Lines log;
  bool wholeLog;
  Shown shown;
};

// A healthy run by clicks: Start, Next four times, Complete.
inline const std::vector<Click> kWholeRun{
    {"Start",
     {"Set White reference paper.", "", "Hit Next button."},
     true,
     {"Next", true, "Cancel", true, false, {false, true, true, true}}},
    {"Next",
     {"Set Black reference paper.", "", "Hit Next button."},
     true,
     {"Next", true, "Cancel", true, false, {false, false, true, true}}},
    {"Next",
     {"Pull out reference paper.", "", "Hit Next button."},
     true,
     {"Next", true, "Cancel", true, false, {false, false, false, true}}},
    {"Next",
     {"Write the Adjustings to DURA RODA.", "Hit Next or Cancel button.  Yes-->Next No-->Cancel"},
     false,
     {"Next", true, "Cancel", true, false, {false, false, false, false}}},
    {"Next",
     {"", "  Push Complete button"},
     false,
     {"Start", false, "Complete", true, false, {false, false, false, false}}},
    {"Complete", kResetText, true, kIdle},
};

// The healthy head's completion report, above the controller's last two lines.
inline const std::string kCompleteLine = " ****** Complete *****";

// Stage 0 passed from File > Start: the prompt has a blank in front.
inline const Lines kStart1Prompt{" Set White reference paper.", "", "Hit Next button."};

// A stage that failed on the line: the step's one line, then the controller's.
inline const Lines kCommunicationError{" Communication error", "", "  Push Cancel button."};
// Stage 0 failed, started with Start.
inline const Shown kFailedAtStageZero{"Start", false, "Cancel",
                                      true,    false, {true, true, true, true}};

// Cancel while the run waits for Next: nothing goes to the head.
inline const Lines kAbandoned{" This machine has not been completed the adjustment!!", "",
                              "  Push Cancel button"};

// Whether the log shows what the click expects.
inline bool LogMatches(const Lines& log, const Click& click) {
  if (click.wholeLog) return log == click.log;
  return log.size() >= click.log.size() &&
         std::equal(click.log.rbegin(), click.log.rend(), log.rbegin());
}

}  // namespace expected
