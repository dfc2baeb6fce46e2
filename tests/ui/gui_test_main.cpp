// The GUI tests run in a QApplication on the offscreen platform: no display needed.
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
