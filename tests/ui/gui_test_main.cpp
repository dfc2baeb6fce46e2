// main() of the GUI tests: a QApplication on the offscreen platform, so the
// tests run without a display, then every test.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tonalis"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
