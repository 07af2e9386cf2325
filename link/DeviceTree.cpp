#include "link/DeviceTree.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <tuple>

namespace fs = std::filesystem;

namespace {

// The first line of a sysfs attribute, without the blanks around it; empty when there is none.
std::string ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  line.erase(line.begin(), std::find_if_not(line.begin(), line.end(), blank));
  line.erase(std::find_if_not(line.rbegin(), line.rend(), blank).base(), line.end());
  return line;
}

// The entries of a folder, in name order; none when it cannot be read.
std::vector<fs::path> Entries(const fs::path& folder) {
  std::vector<fs::path> entries;
  std::error_code error;
  fs::directory_iterator it(folder, error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    entries.push_back(it->path());
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

// ttyUSB2 before ttyUSB10: the letters, then the number at the end, compared as a number.
auto NaturalKey(const std::string& name) {
  const auto digits = name.find_last_not_of("0123456789") + 1;
  const std::string number = name.substr(digits);
  return std::make_tuple(name.substr(0, digits), number.size(), number);
}

bool Contains(const std::vector<gid_t>& groups, gid_t group) {
  return std::find(groups.begin(), groups.end(), group) != groups.end();
}

std::string GroupName(gid_t group) {
  std::vector<char> buffer(4096);
  struct group entry {};
  struct group* found = nullptr;
  if (getgrgid_r(group, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
    return found->gr_name;
  }
  return std::to_string(group);
}

bool ReadAndWrite(mode_t mode, mode_t read, mode_t write) {
  return (mode & read) != 0 && (mode & write) != 0;
}

}  // namespace

UserIdentity UserIdentity::OfThisProcess() {
  UserIdentity user;
  user.uid = geteuid();
  user.thisProcess = true;
  user.groups.push_back(getegid());
  const int count = getgroups(0, nullptr);
  if (count > 0) {
    std::vector<gid_t> more(static_cast<std::size_t>(count));
    const int got = getgroups(count, more.data());
    if (got > 0) user.groups.insert(user.groups.end(), more.begin(), more.begin() + got);
  }

  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(user.uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
    int listed = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(listed));
    if (getgrouplist(found->pw_name, found->pw_gid, groups.data(), &listed) < 0 && listed > 0) {
      groups.resize(static_cast<std::size_t>(listed));
      getgrouplist(found->pw_name, found->pw_gid, groups.data(), &listed);
    }
    groups.resize(static_cast<std::size_t>(std::max(listed, 0)));
    user.groupsAtNextLogin = groups;
  }
  return user;
}

DeviceTree::DeviceTree(fs::path root) {
  std::error_code error;
  root_ = fs::weakly_canonical(root, error);
  if (error) root_ = std::move(root);
}

fs::path DeviceTree::Inside(const std::string& systemPath) const {
  return root_ / fs::path(systemPath).relative_path();
}

std::vector<DetectedDevice> DeviceTree::Scan() const {
  std::error_code error;
  const fs::path dev = root_ / "dev";
  const fs::path sys = root_ / "sys";

  // Each adapter's first stable name, by the kernel name its link leads to.
  std::map<std::string, std::string> stableNames;
  for (const fs::path& link : Entries(dev / "serial" / "by-id")) {
    const fs::path target = fs::canonical(link, error);
    if (error || target.parent_path() != dev) continue;
    stableNames.emplace(target.filename().string(),
                        "/dev/serial/by-id/" + link.filename().string());
  }

  std::vector<DetectedDevice> found;
  for (const fs::path& entry : Entries(sys / "class" / "tty")) {
    const std::string name = entry.filename().string();
    if (!fs::exists(dev / name, error)) continue;
    const fs::path device = fs::canonical(entry, error);
    if (error) continue;

    // An adapter's tty sits below its USB device, the folder that tells the maker and product.
    fs::path usb = device.parent_path();
    while (usb.string().starts_with(sys.string()) && usb != sys &&
           !fs::exists(usb / "idVendor", error)) {
      usb = usb.parent_path();
    }
    if (usb.string().starts_with(sys.string()) && usb != sys) {
      std::string description = ReadAttribute(usb / "manufacturer");
      const std::string product = ReadAttribute(usb / "product");
      if (!description.empty() && !product.empty()) description += ' ';
      description += product;
      if (description.empty()) {
        description = "USB serial adapter " + ReadAttribute(usb / "idVendor") + ":" +
                      ReadAttribute(usb / "idProduct");
      }
      const auto stable = stableNames.find(name);
      found.push_back({stable != stableNames.end() ? stable->second : "/dev/" + name, name,
                       description, DetectedDevice::Kind::UsbAdapter});
      continue;
    }
    // The kernel makes ttyS0..ttyS3 whether or not a UART is there; port type 0 says none is.
    const std::string type = ReadAttribute(device / "type");
    if (!type.empty() && type != "0") {
      found.push_back(
          {"/dev/" + name, name, "Built-in serial port", DetectedDevice::Kind::BuiltInPort});
    }
  }
  std::sort(found.begin(), found.end(), [](const DetectedDevice& a, const DetectedDevice& b) {
    return std::make_tuple(a.kind, NaturalKey(a.kernelName)) <
           std::make_tuple(b.kind, NaturalKey(b.kernelName));
  });
  return found;
}

DeviceAccess DeviceTree::Access(const std::string& devicePath, const UserIdentity& user) const {
  const fs::path file = Inside(devicePath);
  struct stat status {};
  if (::stat(file.c_str(), &status) != 0) return {DeviceAccess::Verdict::Missing, {}};
  const std::string group = GroupName(status.st_gid);
  const mode_t mode = status.st_mode;

  DeviceAccess::Verdict verdict = DeviceAccess::Verdict::Denied;
  if (user.uid == 0) {
    verdict = DeviceAccess::Verdict::Allowed;
  } else if (status.st_uid == user.uid) {
    // The owner's bits alone count for the owner, even where the group's would grant more.
    if (ReadAndWrite(mode, S_IRUSR, S_IWUSR)) verdict = DeviceAccess::Verdict::Allowed;
  } else if (Contains(user.groups, status.st_gid)) {
    if (ReadAndWrite(mode, S_IRGRP, S_IWGRP)) verdict = DeviceAccess::Verdict::Allowed;
  } else if (ReadAndWrite(mode, S_IROTH, S_IWOTH)) {
    verdict = DeviceAccess::Verdict::Allowed;
  } else if (ReadAndWrite(mode, S_IRGRP, S_IWGRP)) {
    verdict = Contains(user.groupsAtNextLogin, status.st_gid) ? DeviceAccess::Verdict::NeedsNewLogin
                                                              : DeviceAccess::Verdict::NeedsGroup;
  }
  if (user.thisProcess) {
    // The kernel has the last word: access lists, capabilities, a read-only file system.
    if (::access(file.c_str(), R_OK | W_OK) == 0) {
      verdict = DeviceAccess::Verdict::Allowed;
    } else if (verdict == DeviceAccess::Verdict::Allowed) {
      verdict = DeviceAccess::Verdict::Denied;
    }
  }
  return {verdict, group};
}
