// Reading and writing the settings file: the exact bytes, the three-stage reader with its
// 254-character pieces, and replacement that never leaves a torn file. The file is the same on
// every platform; what only one platform can show is in SettingsFilePosixTest and
// SettingsFileWin32Test.

#include "link/SettingsFile.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/support/Recorders.h"

namespace {

using std::nullopt;
using std::optional;
using namespace std::string_literals;

struct FileCase {
  const char* name;
  std::string bytes;
  optional<int> baud;
  optional<int> port;
  optional<int> stop;
};

class ReadSettings : public testing::TestWithParam<FileCase> {};

std::string CaseName(const testing::TestParamInfo<FileCase>& param) {
  return param.param.name;
}

TEST_P(ReadSettings, HonoursTheKeysInOrderEachOnce) {
  const FileCase& c = GetParam();
  const SettingsChoice choice = ParseSettingsText(c.bytes);
  EXPECT_EQ(choice.BaudEntry, c.baud);
  EXPECT_EQ(choice.PortIndex, c.port);
  EXPECT_EQ(choice.StopEntry, c.stop);
}

const std::string kBanner = "*** BILL VALIDATOR QZR-71 ***\r\n";
const std::string kLong(10'000, 'x');

std::string At(std::size_t column, const std::string& text) {
  return std::string(column, '.') + text;
}

INSTANTIATE_TEST_SUITE_P(
    Documented, ReadSettings,
    testing::Values(
        FileCase{"Defaults",
                 kBanner + "BORDRATE:CBR_9600\r\nCOMPORT:COM1\r\nSTOPBIT:ONESTOPBIT\r\n", 1, 0, 0},
        FileCase{"AllOthers",
                 kBanner + "BORDRATE:CBR_19200\r\nCOMPORT:COM2\r\nSTOPBIT:TWOSTOPBIT\r\n", 2, 1, 1},
        FileCase{"Com3AndCom4",
                 kBanner + "BORDRATE:CBR_2400\r\nCOMPORT:COM3\r\nSTOPBIT:TWOSTOPBITS\r\n", 0, 2, 1},
        FileCase{"Com4", "BORDRATE:CBR_2400\r\nCOMPORT:COM4\r\n", 0, 3, nullopt},
        FileCase{"PortBeforeBaud",
                 kBanner + "COMPORT:COM2\r\nBORDRATE:CBR_2400\r\nSTOPBIT:TWOSTOPBIT\r\n", 0,
                 nullopt, nullopt},
        FileCase{"UnknownBaudMovesOn",
                 "BORDRATE:CBR_4800\r\nCOMPORT:COM2\r\nSTOPBIT:TWOSTOPBIT\r\n", nullopt, 1, 1}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Malformed, ReadSettings,
    testing::Values(
        FileCase{"Empty", "", nullopt, nullopt, nullopt},
        FileCase{"BannerOnly", kBanner, nullopt, nullopt, nullopt},
        FileCase{"NoBaudLine", "COMPORT:COM2\r\nSTOPBIT:TWOSTOPBIT\r\n", nullopt, nullopt, nullopt},
        FileCase{"NoPortLine", "BORDRATE:CBR_2400\r\nSTOPBIT:TWOSTOPBIT\r\n", 0, nullopt, nullopt},
        FileCase{"NoStopLine", "BORDRATE:CBR_2400\r\nCOMPORT:COM2\r\n", 0, 1, nullopt},
        FileCase{"Reversed", "STOPBIT:TWOSTOPBIT\r\nCOMPORT:COM2\r\nBORDRATE:CBR_2400\r\n", 0,
                 nullopt, nullopt},
        FileCase{"LineFeedsOnly", "BORDRATE:CBR_2400\nCOMPORT:COM2\nSTOPBIT:TWOSTOPBIT\n", 0, 1, 1},
        FileCase{"CarriageReturnsOnlyAreOneLine",
                 "BORDRATE:CBR_2400\rCOMPORT:COM2\rSTOPBIT:TWOSTOPBIT\r", 0, nullopt, nullopt},
        FileCase{"NoFinalNewline", "BORDRATE:CBR_2400\r\nCOMPORT:COM2\r\nSTOPBIT:TWOSTOPBIT", 0, 1,
                 1},
        FileCase{"LongLineFirst",
                 kLong + "\r\nBORDRATE:CBR_2400\r\nCOMPORT:COM2\r\nSTOPBIT:TWOSTOPBIT\r\n", 0, 1,
                 1},
        FileCase{"KeyInsideALongLine",
                 At(300, "BORDRATE:CBR_19200") + kLong + "\r\nCOMPORT:COM2\r\n", 2, 1, nullopt},
        FileCase{"KeySplitByThePieceLength",
                 At(250, "BORDRATE:CBR_19200\r\n") + "BORDRATE:CBR_2400\r\n", 0, nullopt, nullopt},
        FileCase{"LineOfExactlyOnePiece",
                 At(254 - 17, "BORDRATE:CBR_2400") + "\r\nCOMPORT:COM2\r\n", 0, 1, nullopt},
        FileCase{"ValueAfterANul", "BORDRATE:\0CBR_19200\r\nCOMPORT:COM2\r\n"s, nullopt, 1,
                 nullopt},
        FileCase{"KeyAfterANul", "\0BORDRATE:CBR_19200\r\nBORDRATE:CBR_2400\r\n"s, 0, nullopt,
                 nullopt},
        FileCase{"HighBytesAround",
                 "\xFF\xFE"
                 "BORDRATE:CBR_2400\x80\r\n\x01\x02"
                 "COMPORT:COM2\r\n",
                 0, 1, nullopt},
        FileCase{"ByteOrderMark", "\xEF\xBB\xBF" + kBanner + "BORDRATE:CBR_19200\r\n", 2, nullopt,
                 nullopt},
        FileCase{"LowerCase", "bordrate:cbr_2400\r\nCOMPORT:COM2\r\n", nullopt, nullopt, nullopt},
        FileCase{"FirstValueTriedWins", "BORDRATE:CBR_19200 CBR_2400\r\n", 0, nullopt, nullopt},
        FileCase{"Com10ReadsAsCom1", "BORDRATE:CBR_9600\r\nCOMPORT:COM10\r\n", 1, 0, nullopt},
        FileCase{"KeyWithoutValue", "BORDRATE:\r\nCOMPORT:\r\nSTOPBIT:\r\n", nullopt, nullopt,
                 nullopt},
        FileCase{"DuplicateBaudLine", "BORDRATE:CBR_2400\r\nBORDRATE:CBR_19200\r\nCOMPORT:COM2\r\n",
                 0, 1, nullopt},
        FileCase{"AllOnOneLine", "BORDRATE:CBR_2400 COMPORT:COM2 STOPBIT:TWOSTOPBIT\r\n", 0,
                 nullopt, nullopt},
        FileCase{"SpacesAndSurroundingText", "xxBORDRATE: CBR_2400 yy\r\n  COMPORT:  COM2\r\n", 0,
                 1, nullopt},
        FileCase{"DoubledCarriageReturns", "BORDRATE:CBR_2400\r\r\nCOMPORT:COM2\r\r\n", 0, 1,
                 nullopt}),
    CaseName);

TEST(SettingsFileText, IsTheBannerAndThreeLinesEndingInCrLf) {
  EXPECT_EQ(SettingsFileText(1, 0, 0),
            "*** BILL VALIDATOR QZR-71 ***\r\nBORDRATE:CBR_9600\r\nCOMPORT:COM1\r\n"
            "STOPBIT:ONESTOPBIT\r\n");
  EXPECT_EQ(SettingsFileText(2, 3, 1),
            "*** BILL VALIDATOR QZR-71 ***\r\nBORDRATE:CBR_19200\r\nCOMPORT:COM4\r\n"
            "STOPBIT:TWOSTOPBIT\r\n");
  EXPECT_EQ(SettingsFileText(-1, 4, 2), "*** BILL VALIDATOR QZR-71 ***\r\n");
}

TEST(SettingsFileText, ReadsBackAsWritten) {
  for (int baud = 0; baud < 3; ++baud) {
    for (int port = 0; port < 4; ++port) {
      for (int stop = 0; stop < 2; ++stop) {
        const SettingsChoice choice = ParseSettingsText(SettingsFileText(baud, port, stop));
        EXPECT_EQ(choice.BaudEntry, baud);
        EXPECT_EQ(choice.PortIndex, port);
        EXPECT_EQ(choice.StopEntry, stop);
      }
    }
  }
}

// --- replacing the file -----------------------------------------------------------------------

TEST(WriteFileAtomically, ReplacesTheContentsAndLeavesNothingElse) {
  TempDir dir;
  const auto file = dir.Path() / "comm.ini";
  WriteBytes(file, std::string(500, 'o'));
  ASSERT_TRUE(WriteFileAtomically(file, "new\r\n"));
  EXPECT_EQ(ReadBytes(file), "new\r\n");
  EXPECT_EQ(EntriesIn(dir.Path()), 1u);
  ASSERT_TRUE(WriteFileAtomically(file, SettingsFileText(2, 3, 1)));
  EXPECT_EQ(ReadBytes(file), SettingsFileText(2, 3, 1)) << "line ends stay CR LF, byte for byte";
}

TEST(WriteFileAtomically, FailsWhereNoFileCanBeMade) {
  TempDir dir;
  EXPECT_FALSE(WriteFileAtomically(dir.Path() / "missing" / "comm.ini", "x"));
  std::filesystem::create_directory(dir.Path() / "comm.ini");
  EXPECT_FALSE(WriteFileAtomically(dir.Path() / "comm.ini", "x"));
  EXPECT_EQ(EntriesIn(dir.Path()), 1u) << "no temporary file is left behind";
}

}  // namespace
