// A message's line breaks, as either skin's box shows them.
#include "run/BoxText.h"

#include <gtest/gtest.h>

namespace {

TEST(BoxText, EachLineBreakOfAMessageIsOneLineBreakOfTheBox) {
  // The port error's "\n\r", the platform's "\r\n" and lone breaks each make one line; two in a
  // row of the same kind are an empty line.
  EXPECT_EQ(BoxText("CAN NOT COM PORT\n\r Error Code:5", "\r\n"),
            "CAN NOT COM PORT\r\n Error Code:5");
  EXPECT_EQ(BoxText("a\r\nb\nc\rd", "\n"), "a\nb\nc\nd");
  EXPECT_EQ(BoxText("a\n\nb\r\rc\n\r\nd", "\n"), "a\n\nb\n\nc\n\nd");
  EXPECT_EQ(BoxText("\nend\r", "|"), "|end|");
  EXPECT_EQ(BoxText("no break", "\r\n"), "no break");
}

}  // namespace
