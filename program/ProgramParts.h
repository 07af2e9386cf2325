#pragma once

// The tool without its windows, wired in one place for both programs: the port on the devices
// the user's choice maps the COM names to, the settings dialog's model with its file, the Serial
// devices dialog's model, the bell and the clock, and, once the main window has made its model,
// the record of every run. Each program's main makes its windows over these and runs its loop.

#include <filesystem>
#include <memory>

#include "adjust/Clock.h"
#include "link/BellOutput.h"
#include "link/ComPortMap.h"
#include "link/IdlePump.h"
#include "link/PortDriver.h"
#include "link/SerialDevice.h"
#include "records/RunFiles.h"
#include "records/RunRecorder.h"
#include "run/MainFormModel.h"
#include "run/MessageBoxes.h"
#include "run/PortFacts.h"
#include "run/PortSettingsModel.h"
#include "run/SerialDeviceSource.h"
#include "run/SerialDevicesModel.h"

// Where the parts keep what they write: the user's own places unless told otherwise.
struct ProgramPlaces {
  std::filesystem::path settingsFile = "comm.ini";
  std::filesystem::path deviceChoice = DeviceChoiceFile();
  std::filesystem::path runsFolder = RunsFolder();
};

class ProgramParts {
 public:
  // The skin brings its message boxes and the pump that keeps its windows alive while the port
  // waits; the serial devices offered are the machine's own unless a source is given.
  ProgramParts(MessageBoxes& boxes, IdlePump& pump, ProgramPlaces places = {},
               std::unique_ptr<SerialDeviceSource> system = ThisMachinesSerialDevices());
  ProgramParts(const ProgramParts&) = delete;
  ProgramParts& operator=(const ProgramParts&) = delete;

  // The main window's model is made with the window. Each run it begins makes sure of the port's
  // line first, and is recorded with the port it went through by the recorder returned, which is
  // to go before the window does.
  std::unique_ptr<RunRecorder> WatchRuns(MainFormModel& model);

  // The port as it is open now, for the record of a run.
  PortFacts DescribeOpenPort() const { return DescribePort(Port, Ports); }

  ComPortMap Ports;
  SerialDevice Device;
  PortDriver Port;
  PortSettingsModel Settings;
  StdioBell Bell;
  SystemClock Clock;
  std::unique_ptr<SerialDeviceSource> System;
  SerialDevicesModel Devices;

 private:
  MessageBoxes& boxes_;
  std::filesystem::path runsFolder_;
};
