// Help: the reader's tolerance of how compilers store topics, the help file
// the build compiles, ShowHelp, and which file the Help buttons open.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTest>
#include <QTextBlock>
#include <QTemporaryDir>
#include <fstream>

#include "app/chm_file.h"
#include "app/help.h"
#include "app/help_viewer.h"
#include "support/fixtures.h"
#include "ui/editor/curve_editor_dialog.h"
#include "ui/main/main_dialog.h"

namespace tonalis::app {
namespace {

using Map = std::map<std::uint32_t, std::string>;

std::string Words(std::initializer_list<std::uint32_t> values) {  // little-endian
  std::string out;
  for (std::uint32_t v : values)
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>(v >> shift & 0xFF);
  return out;
}

// topic_paths.txt: a topic as stored, a tab, its archive path ("-": none);
// the archive holds /main.html and /sub/editor.html, named in any case.
TEST(ChmReader, TopicPathsContextMapAndContentsAsCompilersStoreThem) {
  auto exists = [](std::string_view path) {
    const QString lower = QString::fromUtf8(path.data(), path.size()).toLower();
    return lower == "/main.html" || lower == "/sub/editor.html";
  };
  std::ifstream paths(TONALIS_APP_TEST_DATA "/topic_paths.txt");
  for (std::string stored, want; std::getline(paths, stored, '\t') && std::getline(paths, want);)
    EXPECT_EQ(ResolveTopicPath(stored, exists).value_or("-"), want) << stored;

  const std::string strings("\0/a.html\0b.html\0", 17);
  EXPECT_EQ(ParseContextMap(Words({16, 5002, 1, 5003, 9}), strings),
            (Map{{5002, "/a.html"}, {5003, "b.html"}}));
  // A count beyond the table, an offset beyond #STRINGS, an empty name.
  EXPECT_EQ(ParseContextMap(Words({800, 1, 99, 2, 0, 3, 9}), strings), (Map{{3, "b.html"}}));

  // Entities decoded, the unknown and the unterminated kept as written.
  std::string contents;
  for (const auto& e : ParseSitemap(test::ReadBytes(TONALIS_APP_TEST_DATA "/contents.hhc")))
    contents += std::to_string(e.depth) + "|" + e.name + "|" + e.local + "\n";
  EXPECT_EQ(contents, test::ReadBytes(TONALIS_APP_TEST_DATA "/contents.expected"));
}

TEST(HelpFile, MapsTheWindowsContextsToTheirTopics) {
  const auto file = ChmFile::Open(TONALIS_HELP_FILE);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->TopicOfContext(ui::kMainHelpContext), "/main.html");
  EXPECT_EQ(file->TopicOfContext(ui::kEditorHelpContext), "/editor.html");
  EXPECT_EQ(file->TopicOfContext(5004), std::nullopt);
  EXPECT_EQ(file->StartTopic(), "/index.html");
  for (const auto& entry : file->Contents()) EXPECT_TRUE(file->ResolveTopic(entry.local));
}

TEST(ShowHelp, ShowsTheTopicBesideTheModuleOrNothingForAMissingFileOrContext) {
  ASSERT_EQ(ShowHelp(nullptr, nullptr, kHelpInitialize, 0), 1);
  QTemporaryDir root;
  const auto place = [&](const char* folder) {
    QDir().mkpath(root.filePath(folder));
    QFile::copy(TONALIS_HELP_FILE, root.filePath(folder) + "/QR_GRAD.chm");
  };
  place("module");
  const QString module = root.filePath("module/ZADA_VUV.rcc");
  const QString program = root.filePath("bin/tonalis");  // no help file there
  EXPECT_EQ(HelpFilePath(QString(), program), root.filePath("bin/QR_GRAD.chm"));
  EXPECT_EQ(ShowHelpForContext(QString(), program, ui::kMainHelpContext), 0);
  EXPECT_EQ(OpenHelpViewer(), nullptr);

  ASSERT_NE(ShowHelpForContext(module, program, ui::kEditorHelpContext), 0);
  HelpViewer* viewer = OpenHelpViewer();
  EXPECT_EQ(viewer->filePath(), root.filePath("module/QR_GRAD.chm"));
  EXPECT_EQ(viewer->browser()->documentTitle(), "The curve editor");
  // A context the file does not map leaves the topic on show.
  EXPECT_EQ(ShowHelpForContext(module, program, 5099), 0);
  EXPECT_EQ(viewer->currentTopic(), "/editor.html");
  // All of the window on the screen; an anchor near the end of its page at
  // the top, also after a new layout; Escape closes.
  EXPECT_TRUE(viewer->screen()->availableGeometry().contains(viewer->frameGeometry()));
  const auto topLine = [&] { return viewer->browser()->cursorForPosition({8, 8}).block().text(); };
  viewer->ShowTopic("/main.html#rights");
  EXPECT_TRUE(topLine().startsWith("Printers and the right")) << topLine().toStdString();
  viewer->resize(viewer->width() - 200, viewer->height() - 100);
  EXPECT_TRUE(topLine().startsWith("Printers and the right")) << topLine().toStdString();
  viewer->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(viewer));
  QTest::keyClick(viewer, Qt::Key_Escape);
  EXPECT_FALSE(viewer->isVisible());

  // Installed, the help file lies in the data folder, not beside the program.
  place("share/tonalis");
  EXPECT_EQ(HelpFilePath(QString(), program), root.filePath("share/tonalis/QR_GRAD.chm"));
  // A module copied without a help file of its own: the program's serves.
  EXPECT_EQ(HelpFilePath(root.filePath("copied/ZADA_VUV.rcc"), program),
            root.filePath("share/tonalis/QR_GRAD.chm"));
  EXPECT_EQ(ShowHelp(nullptr, nullptr, kHelpUninitialize, 0), 1);
  EXPECT_EQ(OpenHelpViewer(), nullptr);
}

}  // namespace
}  // namespace tonalis::app
