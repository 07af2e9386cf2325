#include "link/SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <sstream>

namespace {

struct Key {
  std::string_view key;
  std::array<std::string_view, 4> values;  // tried in this order; empty ones unused
};

// "TWOSTOPBIT" also matches a hand-written "TWOSTOPBITS".
constexpr std::array<Key, 3> kKeys{{
    {"BORDRATE:", {"CBR_2400", "CBR_9600", "CBR_19200", ""}},
    {"COMPORT:", {"COM1", "COM2", "COM3", "COM4"}},
    {"STOPBIT:", {"ONESTOPBIT", "TWOSTOPBIT", "", ""}},
}};

constexpr std::string_view kBanner = "*** BILL VALIDATOR QZR-71 ***";
constexpr std::string_view kLineEnd = "\r\n";

std::optional<int> FirstValueIn(std::string_view piece, const Key& key) {
  for (std::size_t i = 0; i < key.values.size(); ++i) {
    if (!key.values[i].empty() && piece.find(key.values[i]) != std::string_view::npos) {
      return static_cast<int>(i);
    }
  }
  return std::nullopt;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

int CreateFresh(const std::filesystem::path& directory, const std::string& name,
                std::filesystem::path& created) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    created = directory / ("." + name + "." + std::to_string(getpid()) + "." +
                           std::to_string(attempt) + ".tmp");
    const int fd =
        ::open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

void SettingsParser::Feed(std::string_view piece) {
  if (Done()) return;
  piece = piece.substr(0, piece.find('\0'));
  const Key& key = kKeys[static_cast<std::size_t>(stage_)];
  if (piece.find(key.key) == std::string_view::npos) return;
  const auto value = FirstValueIn(piece, key);
  switch (stage_) {
    case 0:
      choice_.BaudEntry = value;
      break;
    case 1:
      choice_.PortIndex = value;
      break;
    default:
      choice_.StopEntry = value;
      break;
  }
  ++stage_;
}

SettingsChoice ParseSettings(std::istream& bytes) {
  SettingsParser parser;
  std::string piece;
  std::istream::int_type c = 0;
  while (!parser.Done() && (c = bytes.get()) != std::istream::traits_type::eof()) {
    if (c == '\r' && bytes.peek() == '\n') c = bytes.get();
    piece.push_back(static_cast<char>(c));
    if (c == '\n' || piece.size() == kSettingsPieceLength) {
      parser.Feed(piece);
      piece.clear();
    }
  }
  if (!piece.empty()) parser.Feed(piece);
  return parser.Choice();
}

SettingsChoice ParseSettingsText(std::string_view bytes) {
  std::istringstream stream{std::string(bytes)};
  return ParseSettings(stream);
}

std::string SettingsFileText(int baudEntry, int portIndex, int stopEntry) {
  std::string text;
  const auto line = [&text](std::string_view key, std::string_view value) {
    text.append(key).append(value).append(kLineEnd);
  };
  text.append(kBanner).append(kLineEnd);
  const int chosen[3] = {baudEntry, portIndex, stopEntry};
  const int lastEntry[3] = {2, 3, 1};
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    if (chosen[i] >= 0 && chosen[i] <= lastEntry[i]) {
      line(kKeys[i].key, kKeys[i].values[static_cast<std::size_t>(chosen[i])]);
    }
  }
  return text;
}

bool WriteFileAtomically(const std::filesystem::path& requested, std::string_view bytes) {
  // A settings file that is a symbolic link is replaced where the link points; the link stays.
  std::error_code error;
  std::filesystem::path target = requested;
  if (std::filesystem::is_symlink(requested, error)) {
    target = std::filesystem::weakly_canonical(requested, error);
    if (error) return false;
  }
  // A file its user may not write keeps its contents, as it would when opened for writing.
  if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT) return false;

  const std::filesystem::path directory =
      target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  std::filesystem::path fresh;
  const int fd = CreateFresh(directory, target.filename().string(), fresh);
  if (fd < 0) return false;

  // A file that already exists keeps its permissions, as it would when truncated in place.
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) fchmod(fd, old.st_mode & 07777);

  bool written = WriteAll(fd, bytes) && fsync(fd) == 0;
  written = (::close(fd) == 0) && written;
  if (!written || std::rename(fresh.c_str(), target.c_str()) != 0) {
    ::unlink(fresh.c_str());
    return false;
  }
  // The rename itself must reach the disk too, or a crash could bring back the old name.
  const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}
