#include "app/help_viewer.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QDesktopServices>
#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <QTextFrame>
#include <QSplitter>
#include <QStyle>
#include <QTextDocument>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

namespace tonalis::app {

namespace {

const char kScheme[] = "chm";
constexpr int kTopicRole = Qt::UserRole;

QString ToQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

ChmBrowser::ChmBrowser(QWidget* parent) : QTextBrowser(parent) {
  // Links are followed by the viewer: topics here, web addresses outside.
  setOpenLinks(false);
  connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] { anchor_.clear(); });
}

QVariant ChmBrowser::loadResource(int type, const QUrl& name) {
  if (file_ == nullptr || name.scheme() != QLatin1String(kScheme))
    return {};
  const auto bytes = file_->Read(name.path().toStdString());
  if (!bytes)
    return {};
  const QByteArray data(bytes->data(), static_cast<qsizetype>(bytes->size()));
  // The help pages are written in UTF-8.
  if (type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource)
    return QString::fromUtf8(data);
  return data;
}

void ChmBrowser::resizeEvent(QResizeEvent* event) {
  QTextBrowser::resizeEvent(event);
  if (!anchor_.isEmpty())
    ScrollAnchorToTop(anchor_);
}

bool ChmBrowser::ScrollAnchorToTop(const QString& name) {
  anchor_ = name;
  if (name.isEmpty())
    return false;
  QTextDocument* doc = document();
  QTextFrame* root = doc->rootFrame();
  QTextFrameFormat format = root->frameFormat();
  const qreal margin = doc->documentMargin();
  if (format.bottomMargin() != margin) {
    format.setBottomMargin(margin);
    root->setFrameFormat(format);
  }
  for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      if (!it.fragment().charFormat().anchorNames().contains(name))
        continue;
      const qreal top = doc->documentLayout()->blockBoundingRect(block).top();
      const qreal missing = top + viewport()->height() - doc->documentLayout()->documentSize().height();
      if (missing > 0) {
        format.setBottomMargin(margin + missing);
        root->setFrameFormat(format);
      }
      verticalScrollBar()->setValue(qRound(top));
      return true;
    }
  }
  return false;
}

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("helpViewer"));
  setAttribute(Qt::WA_DeleteOnClose, false);

  auto* toolBar = new QToolBar(this);
  toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  browser_ = new ChmBrowser(this);
  contents_ = new QTreeWidget(this);
  contents_->setHeaderHidden(true);
  contents_->setColumnCount(1);

  QAction* back = toolBar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), tr("Back"));
  QAction* forward =
      toolBar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), tr("Forward"));
  QAction* home = toolBar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), tr("Home"));
  back->setShortcut(QKeySequence::Back);
  forward->setShortcut(QKeySequence::Forward);
  back->setEnabled(false);
  forward->setEnabled(false);
  connect(back, &QAction::triggered, browser_, &QTextBrowser::backward);
  connect(forward, &QAction::triggered, browser_, &QTextBrowser::forward);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
  connect(home, &QAction::triggered, this, [this] {
    if (file_) {
      if (auto topic = file_->StartTopic())
        ShowTopic(*topic);
    }
  });
  connect(browser_, &QTextBrowser::anchorClicked, this, &HelpViewer::FollowLink);
  connect(browser_, &QTextBrowser::sourceChanged, this, [this](const QUrl& source) {
    const QString title = browser_->documentTitle();
    const QString fileTitle = file_ && !file_->system().title.empty()
                                  ? ToQString(file_->system().title)
                                  : QFileInfo(path_).fileName();
    setWindowTitle(title.isEmpty() ? fileTitle : title + QStringLiteral(" - ") + fileTitle);
    MarkCurrentTopic(source.path());
  });
  connect(contents_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
    const QString topic = item->data(0, kTopicRole).toString();
    if (!topic.isEmpty())
      ShowTopic(topic.toStdString());
  });
  connect(contents_, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* item) { Q_EMIT contents_->itemActivated(item, 0); });

  auto* splitter = new QSplitter(Qt::Horizontal, this);
  splitter->addWidget(contents_);
  splitter->addWidget(browser_);
  splitter->setStretchFactor(0, 0);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({200, 600});

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(toolBar);
  layout->addWidget(splitter);
  resize(960, 680);

  auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(close, &QShortcut::activated, this, &QWidget::close);
}

HelpViewer::~HelpViewer() {
  // The browser reads from the file until it goes.
  browser_->SetFile(nullptr);
}

QUrl HelpViewer::TopicUrl(const std::string& topic) {
  QUrl url;
  url.setScheme(QString::fromLatin1(kScheme));
  const std::size_t hash = topic.find('#');
  url.setPath(ToQString(topic.substr(0, hash)));
  if (hash != std::string::npos)
    url.setFragment(ToQString(topic.substr(hash + 1)));
  return url;
}

void HelpViewer::BelongTo(QWidget* owner) {
  QWidget* current = parentWidget();
  if (current == owner)
    return;
  if (current != nullptr)
    current->removeEventFilter(this);
  const bool visible = isVisible();
  const QRect geometry = this->geometry();
  setParent(owner, windowFlags() | Qt::Window);
  if (visible) {
    setGeometry(geometry);
    show();
  }
  if (owner != nullptr)
    owner->installEventFilter(this);
}

void HelpViewer::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  FitScreen();
}

void HelpViewer::FitScreen() {
  const QScreen* screen = this->screen();
  if (screen == nullptr)
    return;
  const QRect available = screen->availableGeometry();
  // The frame is known once the window is on screen; until then the window
  // leaves a little room for it.
  QSize frame = frameGeometry().size() - size();
  if (frame.isNull())
    frame = QSize(16, 48);
  resize(size().boundedTo(available.size() - frame));
  QRect outer = frameGeometry();
  outer.moveRight(std::min(outer.right(), available.right()));
  outer.moveBottom(std::min(outer.bottom(), available.bottom()));
  outer.moveLeft(std::max(outer.left(), available.left()));
  outer.moveTop(std::max(outer.top(), available.top()));
  if (outer.topLeft() != frameGeometry().topLeft())
    move(outer.topLeft());
}

bool HelpViewer::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Hide && isVisible()) {
    QWidget* up = parentWidget()->parentWidget();
    BelongTo(up != nullptr ? up->window() : nullptr);
  }
  return QWidget::eventFilter(watched, event);
}

void HelpViewer::SetFile(std::unique_ptr<ChmFile> file, const QString& path) {
  if (file_ && path == path_)
    return;
  browser_->SetFile(file.get());
  browser_->clearHistory();
  file_ = std::move(file);
  path_ = path;
  FillContents();
}

void HelpViewer::ShowTopic(const std::string& topic) {
  const QUrl url = TopicUrl(topic);
  browser_->setSource(url, QTextDocument::HtmlResource);
  browser_->ScrollAnchorToTop(url.fragment());
}

QString HelpViewer::currentTopic() const {
  return browser_->source().path();
}

void HelpViewer::FillContents() {
  contents_->clear();
  if (!file_)
    return;
  // Each entry hangs below the last entry one level up.
  std::vector<QTreeWidgetItem*> parents;
  for (const ChmContentsEntry& entry : file_->Contents()) {
    parents.resize(std::min<std::size_t>(parents.size(), static_cast<std::size_t>(entry.depth)));
    auto* item =
        parents.empty() ? new QTreeWidgetItem(contents_) : new QTreeWidgetItem(parents.back());
    item->setText(0, ToQString(entry.name));
    if (auto topic = file_->ResolveTopic(entry.local))
      item->setData(0, kTopicRole, ToQString(*topic));
    parents.push_back(item);
  }
  contents_->expandAll();
}

void HelpViewer::FollowLink(const QUrl& link) {
  const QUrl url = link.isRelative() ? browser_->source().resolved(link) : link;
  if (url.scheme() == QLatin1String(kScheme)) {
    if (url.path() == browser_->source().path() && url.hasFragment()) {
      browser_->ScrollAnchorToTop(url.fragment());
      return;
    }
    std::string topic = url.path().toStdString();
    if (file_) {
      if (auto resolved = file_->ResolveTopic(topic))
        topic = *resolved;
    }
    if (url.hasFragment())
      topic += "#" + url.fragment().toStdString();
    ShowTopic(topic);
  } else {
    QDesktopServices::openUrl(url);
  }
}

void HelpViewer::MarkCurrentTopic(const QString& current) {
  for (QTreeWidgetItemIterator it(contents_); *it; ++it) {
    const QString topic = (*it)->data(0, kTopicRole).toString().section(QLatin1Char('#'), 0, 0);
    if (topic.compare(current, Qt::CaseInsensitive) == 0) {
      contents_->setCurrentItem(*it);
      return;
    }
  }
  contents_->setCurrentItem(nullptr);
}

}  // namespace tonalis::app
