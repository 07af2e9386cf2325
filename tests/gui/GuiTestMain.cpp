// GoogleTest's main with a QApplication around the tests. Listing the tests (which CTest does to
// discover them) needs no display, so no application is made for it.
#include <gtest/gtest.h>

#include <cstdio>

#include <QApplication>

namespace {

// The offscreen platform tells of every window-manager request it cannot carry out; noise here.
void QuietPlatformNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (text.startsWith(QStringLiteral("This plugin does not support"))) return;
  std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(QuietPlatformNotes);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
