#include "link/SettingsFile.h"

#include <array>
#include <sstream>

#include "link/FileReplacement.h"

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

bool WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes) {
  std::error_code error;
  return WriteFileAtomically(target, bytes, error);
}

bool WriteFileAtomically(const std::filesystem::path& requested, std::string_view bytes,
                         std::error_code& error) {
  // A settings file that is a symbolic link is replaced where the link points; the link stays.
  error.clear();
  std::filesystem::path target = std::filesystem::absolute(requested, error);
  if (error) return false;
  if (std::filesystem::is_symlink(target, error)) {
    target = std::filesystem::weakly_canonical(target, error);
    if (error) return false;
  }
  error = ReplaceFileContents(target, bytes);
  return !error;
}
