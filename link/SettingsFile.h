#pragma once

#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

// The settings file: a banner and three lines, each ending in CR LF:
//   *** BILL VALIDATOR QZR-71 ***
//   BORDRATE:CBR_9600      (CBR_2400, CBR_9600, CBR_19200)
//   COMPORT:COM1           (COM1 .. COM4)
//   STOPBIT:ONESTOPBIT     (ONESTOPBIT, TWOSTOPBIT)

// What a file names: the baud entry (0 2400, 1 9600, 2 19200), the port index (0..3 for COM1..4)
// and the stop bit entry (0 one, 1 two). Empty where the file names nothing the reader knows.
struct SettingsChoice {
  std::optional<int> BaudEntry;
  std::optional<int> PortIndex;
  std::optional<int> StopEntry;
};

// Takes the file piece by piece and honours the three keys only in their order, each once: a piece
// without the awaited key is skipped; a piece with it moves on whether or not a known value is in
// it. Keys and values are found anywhere in a piece; a NUL byte ends what is searched.
class SettingsParser {
 public:
  void Feed(std::string_view piece);
  bool Done() const { return stage_ > 2; }
  const SettingsChoice& Choice() const { return choice_; }

 private:
  int stage_ = 0;
  SettingsChoice choice_;
};

// The longest piece one read hands the parser; a longer line goes on in the next piece.
inline constexpr std::size_t kSettingsPieceLength = 254;

// Reads the bytes as the tool always has: CR LF counts as one line end, a lone CR is an ordinary
// character, and each piece is a line (with its end) or its first 254 characters.
SettingsChoice ParseSettings(std::istream& bytes);
SettingsChoice ParseSettingsText(std::string_view bytes);

// The exact bytes of a file; a line whose entry or index is out of range is left out.
std::string SettingsFileText(int baudEntry, int portIndex, int stopEntry);

// Replaces the file so that a crash or a full disk leaves either the old or the new contents:
// a fresh file beside it, written, synced, then renamed over it. False when that failed; the old
// file is then untouched.
bool WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes);
// The same, with the system's reason in `error` when it failed.
bool WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes,
                         std::error_code& error);
