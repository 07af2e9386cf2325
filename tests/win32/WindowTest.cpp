// The Win32 windows driven through the window system, with stand-in stages where a test needs a
// particular outcome. Run under Wine on a virtual display.
#include <gtest/gtest.h>

#include "link/WindowsApi.h"

#include <commctrl.h>

#include <cstdlib>
#include <stdexcept>

#include "Qzr71Version.h"
#include "link/PortText.h"
#include "tests/win32/BoxReader.h"
#include "tests/win32/Win32Windows.h"
#include "win32/Design.h"
#include "win32/Win32MessageBoxes.h"

namespace {

using expected::Lines;

class WindowTest : public Win32Windows {
 protected:
  WindowTest() {
    // The settings dialog's port leads nowhere: COM1 belongs to the tests of the simulated head,
    // which may run meanwhile.
    _putenv_s("QZR71_COM1", "\\\\.\\COM42");
    Make(port_, [this](StepContext& context) {
      StageTable stages = MakeStageTable(context);
      for (std::size_t stage = 0; stage < 5; ++stage) {
        results_[stage] = stage == 4 ? kRunCompleted : kStepSucceeded;
        stages[stage] = {[this, stage] {
          ++runs_[stage];
          form_->Model.Log.ClearLog();
          if (during_) during_();
          form_->Model.Log.AddLine(" stage line");
          return results_[stage];
        }};
      }
      return stages;
    });
  }

  // A click as the window system delivers one: queued for the button, taken by the next pass of
  // a message loop.
  static void PostClick(HWND button) {
    RECT box{};
    GetClientRect(button, &box);
    const LPARAM centre = MAKELPARAM(box.right / 2, box.bottom / 2);
    PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, centre);
    PostMessageW(button, WM_LBUTTONUP, 0, centre);
  }
  static void PostKey(HWND window, WPARAM key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001));
  }

  ~WindowTest() override {
    _putenv_s("QZR71_COM1", "");
    _wputenv_s(L"QZR71_RUNS_DIR", L"");
  }

  // The runs folder at a place of the test's own; returns it.
  std::filesystem::path RunsFolderAt(const std::filesystem::path& folder) {
    _wputenv_s(L"QZR71_RUNS_DIR", folder.c_str());
    return folder;
  }

  // Stands in for the desktop: records what the window asks it to open, and opens it or not.
  TMainForm::Opener Desktop() {
    return [this](const std::filesystem::path& path) {
      opened_.push_back(path);
      return desktopOpens_;
    };
  }

  AckingPort port_;
  std::array<StepResult, 5> results_{};
  std::array<int, 5> runs_{};
  std::function<void()> during_;
  std::vector<std::filesystem::path> opened_;
  bool desktopOpens_ = true;
};

TEST_F(WindowTest, StartsWithTheStartTextCaptionsMenusAndControlsToolsCanFind) {
  EXPECT_EQ(Log(), expected::kStartUpText);
  EXPECT_EQ(Shown(), expected::kIdle);
  const HWND main = form_->Handle();
  // The manifest's themed controls: only version 6's buttons tell their ideal size. (Its
  // per-monitor scaling cannot be told apart here: Wine scales every program so.)
  SIZE ideal{};
  EXPECT_TRUE(SendMessageW(form_->BtnStart, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)));
  EXPECT_EQ(WindowText(main), "QZR-71 Adjustment software");

  // Standard classes, the documented captions and the numbers of the one header.
  const struct {
    HWND control;
    int id;
    const wchar_t* windowClass;
    const char* caption;
  } controls[] = {{form_->AdjItem, control::kAdjItem, L"Button", "Adjustment Item"},
                  {form_->MotorTest, control::kMotorTest, L"Static", "1. Motor speed check"},
                  {form_->WhiteAdj, control::kWhiteAdj, L"Static", "2. White paper adjustment"},
                  {form_->BlackAdj, control::kBlackAdj, L"Static", "3. Black paper adjustment"},
                  {form_->NonAdj, control::kNonAdj, L"Static", "4. Non paper adjustment"},
                  {form_->BtnStart, control::kBtnStart, L"Button", "Start"},
                  {form_->BtnCancel, control::kBtnCancel, L"Button", "Exit"},
                  {form_->AdjMemo, control::kAdjMemo, L"Edit", nullptr}};
  for (const auto& c : controls) {
    EXPECT_EQ(GetDlgItem(main, c.id), c.control) << c.id;
    wchar_t name[32] = {};
    GetClassNameW(c.control, name, 32);
    EXPECT_EQ(_wcsicmp(name, c.windowClass), 0) << c.id;
    if (c.caption != nullptr) {
      EXPECT_EQ(WindowText(c.control), c.caption);
    }
  }
  const auto style = [](HWND window) { return GetWindowLongPtrW(window, GWL_STYLE); };
  EXPECT_TRUE(style(form_->AdjMemo) & ES_READONLY);
  EXPECT_TRUE(style(form_->AdjMemo) & ES_MULTILINE);
  EXPECT_FALSE(style(form_->AdjMemo) & WS_TABSTOP);
  EXPECT_FALSE(style(form_->AdjMemo) & (WS_VSCROLL | WS_HSCROLL));
  EXPECT_TRUE(style(form_->BtnStart) & WS_TABSTOP);
  // A fixed border with a minimize box and no maximize box.
  EXPECT_FALSE(style(main) & (WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_TRUE(style(main) & WS_MINIMIZEBOX);

  // The designed client area and places at the window's scale; the group's caption underlined,
  // the items in it not.
  const UINT dpi = design::DpiOf(main);
  RECT client{};
  GetClientRect(main, &client);
  EXPECT_EQ(client.right, design::Scaled(601, dpi));
  EXPECT_EQ(client.bottom, design::Scaled(340, dpi));
  RECT start{};
  GetWindowRect(form_->BtnStart, &start);
  MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&start), 2);
  EXPECT_EQ(start.left, design::Scaled(419, dpi));
  EXPECT_EQ(start.bottom - start.top, design::Scaled(32, dpi));
  const auto underlined = [](HWND control) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font,
               &font);
    return font.lfUnderline != 0;
  };
  EXPECT_TRUE(underlined(form_->AdjItem));
  EXPECT_FALSE(underlined(form_->MotorTest));

  // Menus: File (Start, Exit with Ctrl+X), Opiton (COM port, Version, then ours).
  const auto items = [](HMENU menu) {
    std::vector<std::string> texts;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
      wchar_t text[64] = {};
      GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
      texts.push_back(Utf8(text));
    }
    return texts;
  };
  EXPECT_EQ(items(form_->MainMenu1), (std::vector<std::string>{"File", "Opiton"}));
  EXPECT_EQ(items(form_->File1), (std::vector<std::string>{"Start", "Exit\tCtrl+X"}));
  EXPECT_EQ(items(form_->Opiton1),
            (std::vector<std::string>{"COM port", "Version", "Serial devices", "Levels",
                                      "Runs folder", "Runs"}));
  for (int command : {control::kStart1, control::kExit1, control::kCOMMport1, control::kVersion1,
                      control::kSerialdevices1, control::kRuns1}) {
    EXPECT_TRUE(MenuEnabled(command)) << command;
  }
}

TEST_F(WindowTest, AFailedStageOffersOnlyCancelTellsTheHeadAndTheBusyPointerComesAndGoes) {
  // The pointer rests on Start while the stage runs from it.
  RECT start{};
  GetWindowRect(form_->BtnStart, &start);
  SetCursorPos((start.left + start.right) / 2, (start.top + start.bottom) / 2);
  Settle();
  std::vector<bool> busy;
  during_ = [&] {
    busy.push_back(GetCursor() == LoadCursorW(nullptr, IDC_WAIT));
    EXPECT_FALSE(Enabled(form_->BtnStart));
    EXPECT_FALSE(Enabled(form_->BtnCancel));
  };
  Click(form_->BtnStart);
  results_[1] = kAdjustmentFailed;
  Click(form_->BtnStart);
  EXPECT_EQ(busy, (std::vector<bool>{true, true}));
  EXPECT_NE(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
  EXPECT_EQ(Log(), (Lines{" stage line", "", "  Push Cancel button."}));
  EXPECT_EQ(Shown(),
            (expected::Shown{"Start", false, "Cancel", true, false, {false, true, true, true}}));
  ASSERT_EQ(port_.written.size(), 1u);
  EXPECT_EQ(port_.written[0], std::vector<std::uint8_t>{head::kCmdEndReading});

  // The disabled Start does nothing; Cancel leads back to idle without closing.
  Click(form_->BtnStart);
  EXPECT_EQ(runs_[0], 1);
  Click(form_->BtnCancel);
  EXPECT_EQ(Log(), expected::kResetText);
  EXPECT_EQ(Shown(), expected::kIdle);
  EXPECT_TRUE(Open());
}

TEST_F(WindowTest, ALogLongerThanTheBoxShowsItsNewestLine) {
  during_ = [this] {
    for (int i = 0; i < 40; ++i) form_->Model.Log.AddLine("reading " + std::to_string(i));
  };
  results_[0] = kStepFailed;
  Click(form_->BtnStart);
  EXPECT_EQ(Log().back(), "  Push Cancel button.");
  // The last line is in view: the box scrolled down to it.
  const auto first = SendMessageW(form_->AdjMemo, EM_GETFIRSTVISIBLELINE, 0, 0);
  const auto lines = SendMessageW(form_->AdjMemo, EM_GETLINECOUNT, 0, 0);
  RECT box{};
  SendMessageW(form_->AdjMemo, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&box));
  const auto lastShown =
      SendMessageW(form_->AdjMemo, EM_CHARFROMPOS, 0, MAKELPARAM(box.left + 1, box.bottom - 2));
  EXPECT_GT(first, 0);
  EXPECT_EQ(HIWORD(lastShown), lines - 1);
}

TEST_F(WindowTest, FileStartRunsStageZeroWithItsOwnPromptAndLeavesTheLabel) {
  during_ = [this] { EXPECT_TRUE(Enabled(form_->BtnCancel)); };
  Choose(control::kStart1);
  ASSERT_EQ(runs_[0], 1);
  EXPECT_EQ(Log(), expected::kStart1Prompt);
  EXPECT_EQ(Shown(),
            (expected::Shown{"Next", true, "Cancel", true, false, {true, true, true, true}}));
  Click(form_->BtnCancel);
  EXPECT_EQ(Log(), expected::kAbandoned);
  EXPECT_TRUE(port_.written.empty());
}

TEST_F(WindowTest, InputGivenDuringAStageIsDiscardedNotDeliveredAfterwards) {
  // A control first: a queued click on Start in the idle state does run stage 0.
  PostClick(form_->BtnStart);
  Settle();
  ASSERT_EQ(runs_[0], 1);
  ASSERT_TRUE(Enabled(form_->BtnStart));  // waiting for Next

  during_ = [this] {
    // The technician clicks Next (twice), Cancel, presses Space and Ctrl+X while the head works;
    // some of it is taken by a pump inside the stage, the rest waits until after it.
    PostClick(form_->BtnStart);
    PostClick(form_->BtnCancel);
    pump_.Pump();
    PostClick(form_->BtnStart);
    PostKey(form_->BtnStart, VK_SPACE);
    PostKey(form_->Handle(), 'X');
  };
  Click(form_->BtnStart);  // Next: stage 1
  during_ = nullptr;
  Settle();

  EXPECT_EQ(runs_[1], 1);
  EXPECT_EQ(runs_[2], 0) << "a click queued during stage 1 started stage 2";
  EXPECT_TRUE(Open());
  EXPECT_EQ(Log(), expected::kWholeRun[1].log);
  EXPECT_EQ(Shown(), expected::kWholeRun[1].shown);

  // Input is taken again once the stage is over.
  PostClick(form_->BtnStart);
  Settle();
  EXPECT_EQ(runs_[2], 1);
}

TEST_F(WindowTest, TheWindowsRepaintWhileAStageWaits) {
  std::string shownMidStage;
  bool painted = false;
  during_ = [&] {
    form_->Model.Log.AddLine(" ***** MOTOR SPEED CHECK *****");
    InvalidateRect(form_->AdjMemo, nullptr, TRUE);
    pump_.Pump();  // what a timed wait does
    RECT stillToPaint{};
    painted = GetUpdateRect(form_->AdjMemo, &stillToPaint, FALSE) == FALSE;
    shownMidStage = WindowText(form_->AdjMemo);
  };
  Click(form_->BtnStart);
  EXPECT_TRUE(painted);
  EXPECT_EQ(shownMidStage, " ***** MOTOR SPEED CHECK *****");
}

TEST_F(WindowTest, ClosingDuringAStageWaitsForTheStageToEnd) {
  bool openAfterClose = false;
  during_ = [&] {
    // The taskbar's Close, while the motor runs.
    PostMessageW(form_->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    pump_.Pump();
    openAfterClose = Open();
  };
  Click(form_->BtnStart);
  EXPECT_TRUE(openAfterClose);
  EXPECT_EQ(runs_[0], 1);
  Settle();
  EXPECT_FALSE(Open());
}

TEST_F(WindowTest, ExitClosesOnlyInTheIdleState) {
  Click(form_->BtnStart);
  Click(form_->BtnCancel);  // abandon
  Click(form_->BtnCancel);  // back to idle
  EXPECT_TRUE(Open());
  EXPECT_EQ(Shown(), expected::kIdle);
  Click(form_->BtnCancel);  // Exit
  EXPECT_FALSE(Open());
  EXPECT_TRUE(port_.written.empty());
}

TEST_F(WindowTest, CtrlXClosesWhileTheRunWaitsForNext) {
  Click(form_->BtnStart);
  // The shortcut as the keyboard gives it, to the window in front.
  SetForegroundWindow(form_->Handle());
  SetFocus(form_->BtnStart);
  Settle();
  INPUT keys[4] = {};
  const WORD sequence[4][2] = {
      {VK_CONTROL, 0}, {'X', 0}, {'X', KEYEVENTF_KEYUP}, {VK_CONTROL, KEYEVENTF_KEYUP}};
  for (int i = 0; i < 4; ++i) {
    keys[i].type = INPUT_KEYBOARD;
    keys[i].ki.wVk = sequence[i][0];
    keys[i].ki.dwFlags = sequence[i][1];
  }
  SendInput(4, keys, sizeof(INPUT));
  for (int i = 0; i < 50 && Open(); ++i) {
    Sleep(10);
    Settle();
  }
  EXPECT_FALSE(Open());
  EXPECT_TRUE(port_.written.empty());
}

TEST_F(WindowTest, AnErrorEscapingAStageIsShownAndTheProgramGoesOn) {
  form_->Model.Controller.SetStage(
      1, {[]() -> StepResult { throw std::runtime_error("Range check error"); }});
  Click(form_->BtnStart);
  BoxReader reader;
  Click(form_->BtnStart);
  ASSERT_EQ(reader.seen.size(), 1u);
  EXPECT_EQ(reader.seen[0].caption, L"QZR-71 Adjustment software");
  EXPECT_EQ(reader.seen[0].text, L"Range check error");
  EXPECT_FALSE(Enabled(form_->BtnStart));
  EXPECT_FALSE(Enabled(form_->BtnCancel));
  EXPECT_FALSE(MenuEnabled(control::kStart1));
  EXPECT_TRUE(Open());

  // File > Exit, COM port and Version stay usable.
  Choose(control::kVersion1);
  EXPECT_TRUE(VersionForm->IsVisible());
  Choose(control::kExit1);
  EXPECT_FALSE(Open());
}

TEST_F(WindowTest, APortBoxShowsItsTextWithTheFullWidthMarkAndHoldsEveryWindow) {
  Choose(control::kCOMMport1);
  BoxReader reader({form_->Handle(), Rs232cForm->Handle()});
  Win32MessageBoxes().ShowExclamation(PortFailureText(0x57), kPortCaption);
  ASSERT_EQ(reader.seen.size(), 1u);
  EXPECT_EQ(reader.seen[0].caption, L"RS232C PORT");
  EXPECT_EQ(reader.seen[0].text, L"CAN NOT COM PORT\xFF01\r\n Error Code:57");
  EXPECT_TRUE(reader.seen[0].ownersDisabled);
  EXPECT_TRUE(Enabled(form_->Handle()));
}

TEST_F(WindowTest, TheDialogsOpenWithoutBlockingAndComeToTheFront) {
  Choose(control::kCOMMport1);
  ASSERT_TRUE(Rs232cForm->IsVisible());
  EXPECT_EQ(GetForegroundWindow(), Rs232cForm->Handle());
  EXPECT_EQ(WindowText(Rs232cForm->Handle()), "Setting RS232C port");

  Choose(control::kVersion1);
  ASSERT_TRUE(VersionForm->IsVisible());
  EXPECT_EQ(GetForegroundWindow(), VersionForm->Handle());
  EXPECT_EQ(WindowText(VersionForm->Label3), "Version " QZR71_VERSION "-01");
  EXPECT_EQ(WindowText(VersionForm->Label2), "QZR-71 ADJUSTMENT");
  EXPECT_EQ(WindowText(VersionForm->Label4), "Service");
  EXPECT_FALSE(WindowText(VersionForm->Label1).empty());
  const auto style = GetWindowLongPtrW(VersionForm->Handle(), GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));

  // Asked for again while open: the same dialog, in front, with the same text.
  Choose(control::kCOMMport1);
  EXPECT_EQ(GetForegroundWindow(), Rs232cForm->Handle());
  Choose(control::kVersion1);
  EXPECT_EQ(GetForegroundWindow(), VersionForm->Handle());
  EXPECT_EQ(WindowText(VersionForm->Label3), "Version " QZR71_VERSION "-01");

  // The main window stays usable with both dialogs up; its close box hides the version dialog.
  EXPECT_TRUE(Enabled(form_->Handle()));
  Click(form_->BtnStart);
  EXPECT_EQ(runs_[0], 1);
  SendMessageW(VersionForm->Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(VersionForm->IsVisible());
  EXPECT_NE(VersionForm->Handle(), nullptr);

  // Closing the main window takes the dialogs with it.
  Choose(control::kExit1);
  EXPECT_FALSE(Open());
  EXPECT_FALSE(Rs232cForm->IsVisible());
}

TEST_F(WindowTest, RunsFolderOpensTheRecordsFolderAndSaysSoWhenItCannot) {
  const std::filesystem::path folder = RunsFolderAt(dir_.Path() / "records" / "runs");
  form_->SetFolderOpener(Desktop());
  Choose(control::kRunsfolder1);
  EXPECT_EQ(opened_, std::vector<std::filesystem::path>{folder});
  EXPECT_TRUE(std::filesystem::is_directory(folder)) << "made before the first run";
  EXPECT_TRUE(boxes_.shown.empty() || boxes_.shown.back().caption != "RUNS FOLDER");

  desktopOpens_ = false;
  Choose(control::kRunsfolder1);
  ASSERT_FALSE(boxes_.shown.empty());
  EXPECT_EQ(boxes_.shown.back().caption, "RUNS FOLDER");
}

TEST_F(WindowTest, RunsShowsTheIndexOfTheRunsFolderAndSaysSoWhenItCannot) {
  const std::filesystem::path folder = RunsFolderAt(dir_.Path() / "records" / "runs");
  form_->SetPageOpener(Desktop());
  const std::size_t boxes = boxes_.shown.size();
  Choose(control::kRuns1);
  EXPECT_EQ(opened_, std::vector<std::filesystem::path>{folder / "index.html"});
  EXPECT_NE(ReadBytes(folder / "index.html").find("No run yet."), std::string::npos)
      << "written before the first run";
  EXPECT_EQ(boxes_.shown.size(), boxes);

  // No browser to show it: the box, once.
  desktopOpens_ = false;
  Choose(control::kRuns1);
  ASSERT_EQ(boxes_.shown.size(), boxes + 1);
  EXPECT_EQ(boxes_.shown.back().caption, "RUNS");
  EXPECT_EQ(boxes_.shown.back().text, "Can not show the runs");

  // No folder can be made where a file is: the box says why, and nothing is opened.
  WriteBytes(dir_.Path() / "file", "not a folder");
  RunsFolderAt(dir_.Path() / "file" / "runs");
  desktopOpens_ = true;
  Choose(control::kRuns1);
  EXPECT_EQ(opened_.size(), 2u);
  ASSERT_EQ(boxes_.shown.size(), boxes + 2);
  EXPECT_EQ(boxes_.shown.back().caption, "RUNS");
  EXPECT_NE(boxes_.shown.back().text.find("Can not show the runs\n"), std::string::npos);
  EXPECT_NE(boxes_.shown.back().text.find("file"), std::string::npos);
}

TEST_F(WindowTest, TheFocusGoesToTheButtonNotToTheWindow) {
  // Back from another window, or from a box that had no owner, Space must press Start.
  Choose(control::kVersion1);
  ASSERT_EQ(GetForegroundWindow(), VersionForm->Handle());
  SetForegroundWindow(form_->Handle());
  Settle();
  EXPECT_EQ(GetFocus(), form_->BtnStart);
  SetFocus(form_->Handle());
  Settle();
  EXPECT_EQ(GetFocus(), form_->BtnStart);
}

TEST_F(WindowTest, TabGoesStartCancelAndRoundPastTheLog) {
  SetForegroundWindow(form_->Handle());
  SetFocus(form_->BtnStart);
  std::vector<HWND> seen;
  for (int i = 0; i < 2; ++i) {
    PostKey(GetFocus(), VK_TAB);
    Settle();
    seen.push_back(GetFocus());
  }
  EXPECT_EQ(seen, (std::vector<HWND>{form_->BtnCancel, form_->BtnStart}));
}

}  // namespace
