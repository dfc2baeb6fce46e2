// Help: the help file the build compiles, the reader's tolerance of how
// compilers store topics, ShowHelp's contract, and which help file the Help
// buttons open.
#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstring>
#include <set>

#include "app/chm_file.h"
#include "app/help.h"
#include "app/help_viewer.h"

namespace tonalis::app {
namespace {

// Archive paths compared as libchm compares them: without regard to case.
auto ObjectsOf(std::set<std::string> objects) {
  return [objects](std::string_view path) {
    for (const auto& object : objects) {
      if (QString::fromStdString(object).compare(QString::fromUtf8(path.data(), path.size()),
                                                 Qt::CaseInsensitive) == 0)
        return true;
    }
    return false;
  };
}

std::string U32(std::uint32_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF),
          static_cast<char>(v >> 16 & 0xFF), static_cast<char>(v >> 24 & 0xFF)};
}

TEST(ChmReader, FindsTopicsHoweverTheCompilerStoredTheirPaths) {
  const auto exists = ObjectsOf({"/main.html", "/sub/editor.html"});
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"main.html", "/main.html"},  // relative to the project
      {"/main.html", "/main.html"},
      {"/home/x/build/help/stage/main.html", "/main.html"},  // the folder compiled in
      {"C:\\help\\stage\\MAIN.HTML#part", "/MAIN.HTML#part"},
      {"mk:@MSITStore:C:\\help\\QR_GRAD.chm::/sub/editor.html", "/sub/editor.html"},
      {"/build/sub/editor.html", "/sub/editor.html"},
      {"/build/editor.html", std::nullopt},  // not in the archive's root
      {"", std::nullopt},
      {"/", std::nullopt},
  };
  for (const auto& [stored, expected] : cases)
    EXPECT_EQ(ResolveTopicPath(stored, exists), expected) << stored;
}

TEST(ChmReader, ReadsTheContextMapAndToleratesABrokenOne) {
  const std::string strings = std::string("\0/a.html\0b.html\0", 17);
  EXPECT_EQ(ParseContextMap(U32(16) + U32(5002) + U32(1) + U32(5003) + U32(9), strings),
            (std::map<std::uint32_t, std::string>{{5002, "/a.html"}, {5003, "b.html"}}));
  // A count beyond the table, an offset beyond #STRINGS, an empty name.
  EXPECT_EQ(
      ParseContextMap(U32(800) + U32(1) + U32(99) + U32(2) + U32(0) + U32(3) + U32(9), strings),
      (std::map<std::uint32_t, std::string>{{3, "b.html"}}));
  EXPECT_TRUE(ParseContextMap("", strings).empty());
}

TEST(ChmReader, ReadsTheContentsTree) {
  const auto entries = ParseSitemap(R"(<HTML><BODY>
    <OBJECT type="text/site properties"><param name="ImageType" value="Folder"></OBJECT>
    <UL><LI><OBJECT type="text/sitemap"><param name="Name" value="Start &amp; more">
            <param name="Local" value="index.html"></OBJECT>
      <ul><li><object type="text/sitemap"><param name=name value='Editor'>
              <param name="Local" value="editor.html"></object>
          <!-- <LI><OBJECT type="text/sitemap"><param name="Name" value="hidden"></OBJECT> -->
      </ul>
      <LI><OBJECT type="text/sitemap"><param name="Name" value="Caf&#233;"></OBJECT>
    </UL></BODY></HTML>)");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "Start & more");
  EXPECT_EQ(entries[0].local, "index.html");
  EXPECT_EQ(entries[0].depth, 0);
  EXPECT_EQ(entries[1].name, "Editor");
  EXPECT_EQ(entries[1].depth, 1);
  EXPECT_EQ(entries[2].name, "Caf\xC3\xA9");
  EXPECT_EQ(entries[2].depth, 0);
  EXPECT_EQ(entries[2].local, "");
}

// The help file as the build makes it.
TEST(HelpFile, MapsTheWindowsContextsToTheirTopics) {
  const auto file = ChmFile::Open(TONALIS_HELP_FILE);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->TopicOfContext(kMainWindowHelpContext), "/main.html");
  EXPECT_EQ(file->TopicOfContext(kCurveEditorHelpContext), "/editor.html");
  EXPECT_EQ(file->TopicOfContext(5004), std::nullopt);
  EXPECT_EQ(file->system().title, "Tonalis Help");
  EXPECT_EQ(file->StartTopic(), "/index.html");
  const auto contents = file->Contents();
  ASSERT_EQ(contents.size(), 4u);
  EXPECT_EQ(contents[1].name, "The main window");
  EXPECT_EQ(contents[1].depth, 1);
  // Every topic, and every picture and link of a topic, is in the file.
  for (const auto& entry : contents) {
    const auto topic = file->ResolveTopic(entry.local);
    ASSERT_TRUE(topic) << entry.local;
    const std::string html = *file->Read(*topic);
    for (const char* attribute : {"src=\"", "href=\""}) {
      for (auto at = html.find(attribute); at != std::string::npos;
           at = html.find(attribute, at + 1)) {
        const auto start = at + std::strlen(attribute);
        std::string target = html.substr(start, html.find('"', start) - start);
        target = target.substr(0, target.find('#'));
        if (target.empty() || target.find(':') != std::string::npos)
          continue;
        EXPECT_TRUE(file->Has("/" + target)) << *topic << " refers to " << target;
      }
    }
  }
}

// ShowHelp over the built help file. The viewer is the process's one.
class ShowHelpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(
        ShowHelp(nullptr, nullptr, kHelpInitialize, reinterpret_cast<std::uintptr_t>(&cookie_)), 1);
  }
  void TearDown() override { ShowHelp(nullptr, nullptr, kHelpUninitialize, cookie_); }

  static HelpResult Context(const char* path, int context) {
    return ShowHelp(nullptr, path, kHelpContext, static_cast<std::uintptr_t>(context));
  }

  std::uint32_t cookie_ = 0;
};

TEST_F(ShowHelpTest, ShowsTheTopicOfEachContextInOneViewer) {
  EXPECT_NE(cookie_, 0u);
  const HelpResult main = Context(TONALIS_HELP_FILE, kMainWindowHelpContext);
  ASSERT_NE(main, 0);
  HelpViewer* viewer = OpenHelpViewer();
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(main, reinterpret_cast<HelpResult>(static_cast<QWidget*>(viewer)));
  EXPECT_TRUE(viewer->isVisible());
  EXPECT_EQ(viewer->currentTopic(), "/main.html");
  EXPECT_EQ(viewer->browser()->documentTitle(), "The main window");
  EXPECT_EQ(viewer->windowTitle(), "The main window - Tonalis Help");
  EXPECT_TRUE(viewer->browser()->toPlainText().contains("Select printer(P)"));
  // The contents, with the topic on show marked.
  ASSERT_NE(viewer->contentsTree()->currentItem(), nullptr);
  EXPECT_EQ(viewer->contentsTree()->currentItem()->text(0), "The main window");

  EXPECT_EQ(Context(TONALIS_HELP_FILE, kCurveEditorHelpContext), main);
  EXPECT_EQ(viewer->currentTopic(), "/editor.html");
  EXPECT_EQ(viewer->browser()->documentTitle(), "The curve editor");
  // Its screenshots come out of the help file.
  const QVariant picture = viewer->browser()->loadResource(
      QTextDocument::ImageResource,
      viewer->browser()->source().resolved(QUrl("editor-all-colours.png")));
  EXPECT_FALSE(QImage::fromData(picture.toByteArray()).isNull());
  // A link of the page leads to its topic; Back returns.
  Q_EMIT viewer->browser()->anchorClicked(QUrl("main.html"));
  EXPECT_EQ(viewer->currentTopic(), "/main.html");
  viewer->browser()->backward();
  EXPECT_EQ(viewer->currentTopic(), "/editor.html");

  // The table of contents: the start topic.
  EXPECT_EQ(ShowHelp(nullptr, TONALIS_HELP_FILE, kHelpDisplayToc, 0), main);
  EXPECT_EQ(viewer->currentTopic(), "/index.html");
}

TEST_F(ShowHelpTest, AMissingFileOrContextShowsNothing) {
  QTemporaryDir dir;
  const QByteArray missing = QFile::encodeName(dir.filePath("QR_GRAD.chm"));
  EXPECT_EQ(Context(missing.constData(), kMainWindowHelpContext), 0);
  EXPECT_EQ(ShowHelp(nullptr, missing.constData(), kHelpDisplayToc, 0), 0);
  EXPECT_EQ(OpenHelpViewer(), nullptr);
  // Not a help file at all.
  QFile notHelp(dir.filePath("QR_GRAD.chm"));
  ASSERT_TRUE(notHelp.open(QIODevice::WriteOnly));
  notHelp.write("ITSF but not really");
  notHelp.close();
  EXPECT_EQ(Context(missing.constData(), kMainWindowHelpContext), 0);
  EXPECT_EQ(Context(nullptr, kMainWindowHelpContext), 0);
  EXPECT_EQ(OpenHelpViewer(), nullptr);

  // A context the file does not map leaves the topic on show.
  ASSERT_NE(Context(TONALIS_HELP_FILE, kCurveEditorHelpContext), 0);
  EXPECT_EQ(Context(TONALIS_HELP_FILE, 5099), 0);
  EXPECT_EQ(OpenHelpViewer()->currentTopic(), "/editor.html");
  EXPECT_EQ(ShowHelp(nullptr, TONALIS_HELP_FILE, 0x99, 0), 0);  // no such command

  // Uninitialising closes the viewer.
  EXPECT_EQ(ShowHelp(nullptr, nullptr, kHelpUninitialize, cookie_), 1);
  EXPECT_EQ(OpenHelpViewer(), nullptr);
}

// A modal window takes input only for itself and its own windows: the
// viewer belongs to the window that asked, and outlives it.
TEST_F(ShowHelpTest, TheViewerBelongsToTheAskingWindowAndStaysWhenItCloses) {
  QDialog mainWindow;
  mainWindow.show();
  QDialog editor(&mainWindow);
  editor.show();
  ASSERT_NE(ShowHelp(&editor, TONALIS_HELP_FILE, kHelpContext, kCurveEditorHelpContext), 0);
  HelpViewer* viewer = OpenHelpViewer();
  EXPECT_EQ(viewer->parentWidget(), &editor);
  EXPECT_TRUE(viewer->isWindow());
  editor.hide();
  EXPECT_EQ(viewer->parentWidget(), &mainWindow);
  EXPECT_TRUE(viewer->isVisible());
  EXPECT_EQ(viewer->currentTopic(), "/editor.html");
  // Asked again by the main window, with nothing in between.
  ASSERT_NE(ShowHelp(&mainWindow, TONALIS_HELP_FILE, kHelpContext, kMainWindowHelpContext), 0);
  EXPECT_EQ(OpenHelpViewer(), viewer);
  mainWindow.hide();
  EXPECT_EQ(viewer->parentWidget(), nullptr);
  EXPECT_TRUE(viewer->isVisible());
}

TEST(HelpPath, BesideTheModuleOrElseBesideTheProgram) {
  QTemporaryDir root;
  const QString module = root.filePath("user/ZADA_VUV.rcc");
  const QString program = root.filePath("usr/bin/tonalis");
  EXPECT_EQ(HelpFilePath(module, program), root.filePath("user/QR_GRAD.chm"));
  EXPECT_EQ(HelpFilePath(QString(), program), root.filePath("usr/bin/QR_GRAD.chm"));
  // Installed, the help file lies in the data folder, not beside the
  // executable.
  QDir().mkpath(root.filePath("usr/share/tonalis"));
  QFile::copy(TONALIS_HELP_FILE, root.filePath("usr/share/tonalis/QR_GRAD.chm"));
  EXPECT_EQ(HelpFilePath(QString(), program), root.filePath("usr/share/tonalis/QR_GRAD.chm"));
  QDir().mkpath(root.filePath("usr/bin"));
  QFile::copy(TONALIS_HELP_FILE, root.filePath("usr/bin/QR_GRAD.chm"));
  EXPECT_EQ(HelpFilePath(QString(), program), root.filePath("usr/bin/QR_GRAD.chm"));
  EXPECT_EQ(HelpFilePath(QString(), QString()), QString());
}

TEST_F(ShowHelpTest, TheHelpButtonsOpenTheFileBesideTheModule) {
  QTemporaryDir root;
  QDir().mkpath(root.filePath("module"));
  QFile::copy(TONALIS_HELP_FILE, root.filePath("module/QR_GRAD.chm"));
  const QString module = root.filePath("module/ZADA_VUV.rcc");
  const QString program = root.filePath("bin/tonalis");  // no help file there

  ASSERT_NE(ShowHelpForContext(module, program, kCurveEditorHelpContext), 0);
  EXPECT_EQ(OpenHelpViewer()->filePath(), root.filePath("module/QR_GRAD.chm"));
  EXPECT_EQ(OpenHelpViewer()->currentTopic(), "/editor.html");
  ShowHelp(nullptr, nullptr, kHelpUninitialize, cookie_);
  EXPECT_EQ(ShowHelpForContext(QString(), program, kMainWindowHelpContext), 0);

  // Without any file name to go by, the bare name in the current folder.
  const QString before = QDir::currentPath();
  QDir::setCurrent(root.filePath("module"));
  const HelpResult shown = ShowHelpForContext(QString(), QString(), kCurveEditorHelpContext);
  QDir::setCurrent(before);
  ASSERT_NE(shown, 0);
  EXPECT_EQ(OpenHelpViewer()->filePath(), root.filePath("module/QR_GRAD.chm"));
}

}  // namespace
}  // namespace tonalis::app
