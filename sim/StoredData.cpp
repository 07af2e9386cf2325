#include "sim/StoredData.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace sim {

namespace {

template <std::size_t N>
void Put(HeadDataBlock& out, std::size_t offset, const std::array<std::uint8_t, N>& values,
         std::size_t count = N) {
  std::copy_n(values.begin(), count, out.begin() + static_cast<std::ptrdiff_t>(offset));
}

void PutText(HeadDataBlock& out, std::size_t offset, const char* text) {
  std::memcpy(out.data() + offset, text, std::strlen(text));
}

}  // namespace

HeadDataBlock ComposeBlock(const RunRecord& record) {
  HeadDataBlock out{};
  Put(out, block::kModelCode, record.identification);
  Put(out, block::kDaValues, record.daValues);
  Put(out, block::kPaperGains, record.paperGains);
  Put(out, block::kNoPaperLevels, record.noPaperLevels);
  Put(out, block::kNoPaperGains, record.noPaperGains);
  for (std::size_t c = 0; c < 22; ++c) out[block::kColourCodes + c] = ColourCode(c);
  Put(out, block::kBlackLevels, record.blackLevels);
  out[block::kCheckWord] = static_cast<std::uint8_t>(record.checkWord & 0xFF);
  out[block::kCheckWord + 1] = static_cast<std::uint8_t>(record.checkWord >> 8);
  return out;
}

std::uint16_t CheckWordFor(std::uint32_t motorSpeed, std::uint8_t firstGain) {
  for (std::uint32_t speed = motorSpeed;; ++speed) {
    std::uint32_t c = speed;
    while (c > 255) c >>= 1;
    auto crc = static_cast<std::uint16_t>(((c ^ 0xFF) << 8) | c);
    for (int step = 0; step < 168; ++step) {
      for (const unsigned nibble : {firstGain & 0x0Fu, static_cast<unsigned>(firstGain >> 4)}) {
        crc = static_cast<std::uint16_t>((crc >> 4) ^ (((crc ^ nibble) & 0x0F) * 0x1081));
      }
    }
    if (crc != 0) return crc;
  }
}

HeadDataBlock FactoryBlock(const UnitTraits& unit) {
  HeadModel model(unit, HeadFaults{}, 0);
  model.FactoryAdjust();
  RunRecord record;
  record.daValues = model.da;
  record.paperGains = model.gain24;
  record.noPaperGains = model.gain16;
  model.paper = Paper::kNone;
  record.noPaperLevels = model.ReadShort();
  model.paper = Paper::kBlack;
  record.blackLevels = model.ReadLong();
  record.checkWord =
      CheckWordFor(static_cast<std::uint32_t>(unit.motorRaw) / 10, record.paperGains[0]);
  HeadDataBlock out = ComposeBlock(record);
  PutText(out, block::kModelCode, "QZR71000");
  PutText(out, block::kAdjustDate, "19040210");
  PutText(out, block::kHeadId, "DR0471A3");
  PutText(out, block::kProgramVersion, "S1 V1.04");
  return out;
}

std::optional<HeadDataBlock> LoadStateFile(const std::filesystem::path& path, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read " + path.string() + ": " + std::strerror(errno);
    return std::nullopt;
  }
  HeadDataBlock out{};
  std::size_t count = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    for (std::string word; words >> word;) {
      char* end = nullptr;
      const unsigned long value = std::strtoul(word.c_str(), &end, 16);
      if (word.size() != 2 || *end != '\0' || count == out.size()) {
        error = path.string() + " is not a stored data block (bad byte '" + word + "')";
        return std::nullopt;
      }
      out[count++] = static_cast<std::uint8_t>(value);
    }
  }
  if (count != out.size()) {
    error = path.string() + " holds " + std::to_string(count) + " bytes, not 160";
    return std::nullopt;
  }
  return out;
}

bool SaveStateFile(const std::filesystem::path& path, const HeadDataBlock& data,
                   std::string& error) {
  std::ostringstream text;
  text << "# qzr71-headsim stored data block, 160 bytes\n";
  for (std::size_t i = 0; i < data.size(); ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", data[i]);
    text << hex << ((i % 16 == 15) ? '\n' : ' ');
  }
  const std::string bytes = text.str();
  const std::filesystem::path temporary = path.string() + ".tmp";
  const int fd =
      ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  auto fail = [&](const char* what) {
    error = std::string(what) + " " + temporary.string() + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    ::unlink(temporary.c_str());
    return false;
  };
  if (fd < 0) return fail("cannot create");
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return fail("cannot write");
    written += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) return fail("cannot sync");
  if (::close(fd) != 0) {
    error = "cannot close " + temporary.string() + ": " + std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    error = "cannot replace " + path.string() + ": " + std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  // The rename itself lives in the directory: sync it too, or a crash may bring the old name back.
  const std::filesystem::path directory = path.has_parent_path() ? path.parent_path() : ".";
  const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

}  // namespace sim
