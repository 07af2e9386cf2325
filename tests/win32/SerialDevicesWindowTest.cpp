// The Serial devices dialog of the Windows program, its controls driven by the messages a
// technician's clicks and keys make, over the ports of the Wine prefix: scripts/test-windows.sh
// lists COM7 in the serial device map and links it to the line "line7", where the simulated head is
// started here. COM1 leads to a line with no head behind it meanwhile.
#include <gtest/gtest.h>

#include "link/WindowsApi.h"

#include <dbt.h>

#include "link/PortText.h"
#include "link/SystemPorts.h"
#include "tests/support/SimulatedHead.h"
#include "tests/win32/Win32Windows.h"

namespace {

class SerialDevicesWindowTest : public Win32Windows {
 protected:
  TSerialDevicesForm& OpenDialog() {
    Choose(control::kSerialdevices1);
    EXPECT_TRUE(devicesForm_->IsVisible());
    return *devicesForm_;
  }

  static LRESULT Entry(HWND list, const std::string& text) {
    return SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                        reinterpret_cast<LPARAM>(Wide(text).c_str()));
  }
  // Picks an entry as a click in the open list does. Wine gives its ports no friendly names.
  static bool Pick(HWND list, const std::string& text) {
    const LRESULT entry = Entry(list, text);
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
    SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
    return entry != CB_ERR;
  }
  // Types into a field: the text goes in whole, and the field tells the dialog of the change.
  static void Type(HWND field, const std::string& text) {
    SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
  }
  // A port number the prefix has no port for.
  static std::string AbsentPort() {
    unsigned number = 250;
    for (const SystemPort& port : ListSystemPorts()) {
      if (port.name == "COM" + std::to_string(number)) --number;
    }
    return "COM" + std::to_string(number);
  }
};

TEST_F(SerialDevicesWindowTest, AHeadOnCom7IsChosenForCom1AndStageZeroThenCompletes) {
  SimulatedHead head({"--seed", "7"}, "line7");
  Make(driver_);
  EXPECT_FALSE(driver_.IsOpen()) << "COM1 itself leads to no head";
  TSerialDevicesForm& dialog = OpenDialog();
  EXPECT_EQ(WindowText(dialog.Handle()), "Serial devices");
  ASSERT_TRUE(Pick(dialog.Ports[0].device, "COM7"));
  EXPECT_EQ(WindowText(dialog.Ports[0].path), "Device: COM7");
  EXPECT_EQ(WindowText(dialog.Ports[0].access), "Windows has this port now.");
  // A serial device server is typed in and kept like a port, with how it must be set up.
  ASSERT_TRUE(Pick(dialog.Ports[1].device, "A port typed in"));
  Type(dialog.Ports[1].typedPath, "rfc2217://127.0.0.1:3001");
  EXPECT_NE(WindowText(dialog.Ports[1].access).find("telnet(rfc2217)"), std::string::npos);

  Click(dialog.ApplyBtn);
  EXPECT_TRUE(driver_.IsOpen());
  EXPECT_EQ(
      WindowText(dialog.Status),
      "Kept for your next start in " + Utf8(ports_.File().wstring()) + ". COM1 is open on COM7.");
  EXPECT_EQ(ReadBytes(ports_.File()),
            DeviceChoicesText({"COM7", "rfc2217://127.0.0.1:3001", "", ""}));
  Click(dialog.CloseBtn);
  EXPECT_FALSE(dialog.IsVisible());
  Click(form_->BtnStart);
  EXPECT_EQ(Log(), expected::kWholeRun[0].log);

  // Where Windows keeps a user's settings.
  const std::wstring appData = _wgetenv(L"APPDATA");
  _wputenv_s(L"APPDATA", dir_.Path().c_str());
  EXPECT_EQ(DeviceChoiceFile(), dir_.Path() / "qzr71" / "serial-devices.json");
  _wputenv_s(L"APPDATA", appData.c_str());
}

TEST_F(SerialDevicesWindowTest, AChosenAdapterThatIsAbsentShowsAbsentAndFailsAsAPortDoes) {
  const std::string absent = AbsentPort();
  ASSERT_TRUE(ports_.Keep({absent, "", "", ""}));
  Make(driver_);
  EXPECT_FALSE(driver_.IsOpen());
  ASSERT_FALSE(boxes_.shown.empty());
  // Windows's number for a port it does not have.
  EXPECT_EQ(boxes_.shown.back(), (ShownBox{PortFailureText(ERROR_FILE_NOT_FOUND), kPortCaption}));

  TSerialDevicesForm& dialog = OpenDialog();
  EXPECT_EQ(WindowText(dialog.Ports[0].device), "A port typed in");
  EXPECT_EQ(WindowText(dialog.Ports[0].typedPath), absent);
  EXPECT_EQ(WindowText(dialog.Ports[0].access),
            "Windows has no such port now: plug the adapter in, or check the name.");
  Click(dialog.CloseBtn);
  Click(form_->BtnStart);
  EXPECT_EQ(Log(), expected::kCommunicationError);
}

TEST_F(SerialDevicesWindowTest, AnAdapterPluggedInOrPulledWhileTheDialogIsOpenComesAndGoes) {
  const std::string port = AbsentPort();
  Make(driver_);
  TSerialDevicesForm& dialog = OpenDialog();
  const HWND list = dialog.Ports[1].device;
  EXPECT_EQ(Entry(list, port), CB_ERR);

  // Plugged in: its driver adds it to the serial device map, and Windows tells every window.
  HKEY map = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &map, nullptr),
            ERROR_SUCCESS);
  const std::wstring name = Wide(port);
  RegSetValueExW(map, L"\\Device\\QzrTestAdapter", 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(name.c_str()),
                 static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
  SendMessageW(dialog.Handle(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
  ASSERT_TRUE(Pick(list, port));
  EXPECT_EQ(WindowText(dialog.Ports[1].access), "Windows has this port now.");

  // Pulled: the choice stays, shown as absent.
  RegDeleteValueW(map, L"\\Device\\QzrTestAdapter");
  RegCloseKey(map);
  SendMessageW(dialog.Handle(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0);
  EXPECT_EQ(Entry(list, port), CB_ERR);
  EXPECT_EQ(WindowText(dialog.Ports[1].typedPath), port);
  EXPECT_EQ(WindowText(dialog.Ports[1].access),
            "Windows has no such port now: plug the adapter in, or check the name.");
}

}  // namespace
