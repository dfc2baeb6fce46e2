// The help viewer: a window with the help file's contents on the left and
// the topic on show on the right, reading topics and pictures straight out
// of a compiled HTML Help file.
#pragma once

#include <QTextBrowser>
#include <QWidget>
#include <memory>
#include <string>

#include "app/chm_file.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace tonalis::app {

// A text browser whose "chm:" addresses are objects of one help file.
class ChmBrowser : public QTextBrowser {
  Q_OBJECT

 public:
  explicit ChmBrowser(QWidget* parent = nullptr);
  void SetFile(const ChmFile* file) { file_ = file; }
  QVariant loadResource(int type, const QUrl& name) override;

  // Scrolls the anchor `name` to the top of the view, with room added below
  // the text where the page ends too soon for that, and keeps it there
  // through new layouts (the window shown or resized) until the reader
  // scrolls. Empty: no anchor to keep. False: no such anchor.
  bool ScrollAnchorToTop(const QString& name);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  const ChmFile* file_ = nullptr;
  QString anchor_;
};

class HelpViewer : public QWidget {
  Q_OBJECT

 public:
  explicit HelpViewer(QWidget* parent = nullptr);
  ~HelpViewer() override;

  // Takes over `file`, read from `path`, unless `path` is already open.
  void SetFile(std::unique_ptr<ChmFile> file, const QString& path);
  const ChmFile* file() const { return file_.get(); }
  const QString& filePath() const { return path_; }

  // Shows a topic given as an archive path ("/main.html#part").
  void ShowTopic(const std::string& topic);

  // The archive path of the topic on show, without a fragment.
  QString currentTopic() const;
  ChmBrowser* browser() const { return browser_; }
  QTreeWidget* contentsTree() const { return contents_; }

  // The address of an archive path in the browser.
  static QUrl TopicUrl(const std::string& topic);

  // Makes the viewer a window of `owner` (or a window of its own). A window
  // takes input while a modal window runs only when it belongs to that
  // window; when its owner is hidden (a dialog ends), the viewer stays open
  // and passes to the owner's own owner.
  void BelongTo(QWidget* owner);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void FillContents();
  void FollowLink(const QUrl& link);
  // Selects the contents entry of the topic `current` (an archive path).
  void MarkCurrentTopic(const QString& current);
  // Keeps the window inside the available area of its screen.
  void FitScreen();

  std::unique_ptr<ChmFile> file_;
  QString path_;
  ChmBrowser* browser_ = nullptr;
  QTreeWidget* contents_ = nullptr;
};

}  // namespace tonalis::app
