#include "program/ProgramParts.h"

#include <utility>

ProgramParts::ProgramParts(MessageBoxes& boxes, IdlePump& pump, ProgramPlaces places,
                           std::unique_ptr<SerialDeviceSource> system)
    : Ports(std::move(places.deviceChoice)),
      Device([this](const std::string& comName) { return Ports.DevicePathFor(comName); }),
      Port(Device),
      Settings(Port, boxes, std::move(places.settingsFile)),
      System(std::move(system)),
      Devices(*System, Ports, Settings),
      boxes_(boxes),
      runsFolder_(std::move(places.runsFolder)) {
  Port.SetIdlePump(&pump);
}

std::unique_ptr<RunRecorder> ProgramParts::WatchRuns(MainFormModel& model) {
  model.Controller.SetRunStarting([this] { Settings.RunStarting(); });
  return std::make_unique<RunRecorder>(
      model, runsFolder_, [this] { return DescribeOpenPort(); }, boxes_);
}
