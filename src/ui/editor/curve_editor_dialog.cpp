#include "ui/editor/curve_editor_dialog.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/curve_check.h"
#include "model/validate.h"
#include "model/value_text.h"
#include "ui/editor/gradient_strip.h"
#include "ui/editor/plot_geometry.h"
#include "ui/latin1.h"
#include "ui/qt_interaction.h"
#include "ui/strings.h"

namespace tonalis::ui {

namespace ids = editor_ids;

namespace {

// Whether a name may hold `c`: a character of ISO 8859-1 whose byte the name
// rule accepts.
bool IsNameChar(QChar c) {
  return c.unicode() <= 0xFF && IsNameByte(static_cast<unsigned char>(c.unicode()));
}

}  // namespace

// Refuses an edit of the name field that brings in a character a name cannot
// hold (see IsNameByte) and remembers the first such character, so that
// the editor can say what was refused. Characters already in a stored name
// (a PPD may hold anything) do not block editing it.
class NameValidator final : public QValidator {
 public:
  // The field's text is seen through its changes: while an edit is being
  // validated the field already holds the new text.
  NameValidator(QLineEdit* field, QObject* parent) : QValidator(parent) {
    QObject::connect(field, &QLineEdit::textChanged, this,
                     [this](const QString& text) { before_ = text; });
  }

  State validate(QString& input, int& /*pos*/) const override {
    const QString& before = before_;
    if (Refused(input) <= Refused(before))
      return Acceptable;
    for (qsizetype i = 0; i < input.size(); ++i) {
      // A character beyond the first plane is a pair of UTF-16 units.
      const qsizetype length = input[i].isHighSurrogate() && i + 1 < input.size() ? 2 : 1;
      const QString c = input.mid(i, length);
      if (!IsNameChar(input[i]) && !before.contains(c)) {
        refused_ = c;
        break;
      }
      i += length - 1;
    }
    return Invalid;
  }

  // The character of the last refused edit, if any; taking it clears it.
  std::optional<QString> TakeRefused() {
    auto c = refused_;
    refused_.reset();
    return c;
  }

 private:
  static qsizetype Refused(const QString& text) {
    return std::count_if(text.begin(), text.end(), [](QChar c) { return !IsNameChar(c); });
  }

  QString before_;
  mutable std::optional<QString> refused_;
};

namespace {

// Why a character was refused in the name. Names are stored in ISO 8859-1
// (see ui/latin1.h).
std::string NameRefusalText(const StringSource& strings, const QString& c) {
  if (c.size() == 1 && c[0].unicode() <= 0xFF)
    return strings.Load(sid::kNameControlCharacter);
  return FillPlaceholders(strings.Load(sid::kNameNotLatin1), c.toStdString());
}

}  // namespace

CurveEditorDialog::CurveEditorDialog(const CurveEditorSeams& seams, QWidget* parent)
    : QDialog(parent),
      ownInteraction_(seams.ui == nullptr ? std::make_unique<QtInteraction>(this) : nullptr),
      ui_(seams.ui != nullptr ? *seams.ui : *ownInteraction_),
      strings_(seams.strings),
      showHelp_(seams.showHelp),
      template_(ids::kDialog, this),
      graph_(seams.strings) {
  // A fixed-size window without minimise and maximise buttons.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(template_.root());
  layout->setSizeConstraint(QLayout::SetFixedSize);
  setWindowTitle(template_.root()->windowTitle());

  BindControls();
  MakeRoomForGraph();
  ConnectControls();
  SetUpUndo();
}

CurveEditorDialog::~CurveEditorDialog() = default;

QString CurveEditorDialog::LoadString(int id) const {
  return ui::LoadString(strings_, id);
}

// The session reads and writes value texts with a decimal point ("12.50");
// the fields show the decimal separator of the window's language, and take
// it as well as the point.
QChar CurveEditorDialog::DecimalSeparator() const {
  const QString separator = locale().decimalPoint();
  return separator.size() == 1 ? separator[0] : QLatin1Char('.');
}

std::string CurveEditorDialog::ValueText(const QString& field) const {
  QString text = field;
  return text.replace(DecimalSeparator(), QLatin1Char('.')).toStdString();
}

QString CurveEditorDialog::FieldText(const std::string& valueText) const {
  return QString::fromStdString(valueText).replace(QLatin1Char('.'), DecimalSeparator());
}

void CurveEditorDialog::BindControls() {
  nameField_ = template_.Control<QLineEdit>(ids::kName);
  for (int i = 0; i < kPointCount; ++i) {
    pointFields_[static_cast<std::size_t>(i)] =
        template_.Control<QLineEdit>(ids::kPointFields[static_cast<std::size_t>(i)]);
  }
  gammaField_ = template_.Control<QLineEdit>(ids::kGamma);
  gammaSettingButton_ = template_.Control<QPushButton>(ids::kGammaSetting);
  graphAnchor_ = template_.Control<QLabel>(ids::kGraphAnchor);
  for (int c = 0; c < kChannelCount; ++c) {
    colourButtons_[static_cast<std::size_t>(c)] =
        template_.Control<QRadioButton>(ids::kColourButtons[static_cast<std::size_t>(c)]);
  }
  allColoursBox_ = template_.Control<QCheckBox>(ids::kAllColours);
  acceptButton_ = template_.Control<QPushButton>(ids::kAccept);
  cancelButton_ = template_.Control<QPushButton>(ids::kCancel);
  resetButton_ = template_.Control<QPushButton>(ids::kReset);
  helpButton_ = template_.Control<QPushButton>(ids::kHelp);
  // Captions only; fail now rather than at opening when one is missing.
  template_.Control<QGroupBox>(ids::kColourGroup);
  template_.Control<QLabel>(ids::kNameLabel);
  template_.Control<QLabel>(ids::kGammaLabel);

  // The value fields hold five characters: they keep the width the template
  // gives them instead of growing with the dialog.
  for (QLineEdit* field : pointFields_) field->setMaximumWidth(field->minimumWidth());
  gammaField_->setMaximumWidth(gammaField_->minimumWidth());

  // Enter presses the accept button, or the push button that has the focus.
  acceptButton_->setDefault(true);

  nameValidator_ = new NameValidator(nameField_, this);
  nameField_->setValidator(nameValidator_);

  // The graph is drawn on the dialog itself, and the dialog takes the mouse
  // over it: the anchor only marks the plot's origin. Pointer moves are seen
  // whatever the button state.
  graphAnchor_->setText(QString());
  graphAnchor_->setFixedSize(plot::kPlotSize + 1, plot::kPlotSize + 1);
  graphAnchor_->setAttribute(Qt::WA_TransparentForMouseEvents);
  template_.root()->setMouseTracking(true);
  template_.root()->installEventFilter(this);
}

void CurveEditorDialog::MakeRoomForGraph() {
  // The labels lie around the plot, beyond the anchor: the anchor gets a
  // layout of its own with margins that hold them, in the dialog's font.
  // That layout, the strip and the note below it make one column in the
  // anchor's place.
  QWidget* root = template_.root();
  graphExtent_ = graph_.Extent(root->font());
  QLayout* anchorLayout = nullptr;
  for (QLayout* l : root->findChildren<QLayout*>()) {
    if (l->indexOf(graphAnchor_) >= 0)
      anchorLayout = l;
  }
  if (anchorLayout == nullptr) {
    throw TemplateError("dialog template dialog129: the graph anchor is not in a layout");
  }
  auto* box = qobject_cast<QBoxLayout*>(anchorLayout);
  auto* grid = qobject_cast<QGridLayout*>(anchorLayout);
  if (box == nullptr && grid == nullptr) {
    throw TemplateError(
        "dialog template dialog129: the graph anchor is not in a box or grid layout");
  }
  const int index = anchorLayout->indexOf(graphAnchor_);
  int row = 0, column = 0, rowSpan = 1, columnSpan = 1;
  if (grid != nullptr)
    grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
  const int stretch = box != nullptr ? box->stretch(index) : 0;
  anchorLayout->removeWidget(graphAnchor_);

  constexpr int kPad = 4;
  const QMargins labels(-graphExtent_.left() + kPad, -graphExtent_.top() + kPad,
                        graphExtent_.right() - plot::kPlotSize + kPad,
                        graphExtent_.bottom() - plot::kPlotSize + kPad);
  auto* plotBox = new QVBoxLayout;
  plotBox->setContentsMargins(labels);
  plotBox->addWidget(graphAnchor_);

  // The strip under the plot, column for column.
  gradientStrip_ = new GradientStrip(root);
  gradientStrip_->setObjectName(QStringLiteral("gradientStrip"));
  auto* stripRow = new QHBoxLayout;
  stripRow->setContentsMargins(labels.left(), 0, labels.right(), 0);
  stripRow->addWidget(gradientStrip_);

  auto* graphColumn = new QVBoxLayout;
  graphColumn->setContentsMargins(0, 0, 0, 0);
  graphColumn->addLayout(plotBox);
  graphColumn->addLayout(stripRow);
  if (box != nullptr)
    box->insertLayout(index, graphColumn, stretch);
  else
    grid->addLayout(graphColumn, row, column, rowSpan, columnSpan);

  // The note runs the dialog's width under the row that holds the graph (in
  // a layout without such a row, under the strip). Its room is kept while it
  // is hidden, so that the dialog keeps its size as the note comes and goes.
  graphNote_ = new QLabel(root);
  graphNote_->setObjectName(QStringLiteral("graphNote"));
  graphNote_->setWordWrap(true);
  graphNote_->setTextFormat(Qt::PlainText);
  graphNote_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  graphNote_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  graphNote_->hide();
  auto* main = qobject_cast<QBoxLayout*>(root->layout());
  int graphRow = -1;
  for (int i = 0; main != nullptr && i < main->count(); ++i) {
    QLayout* l = main->itemAt(i)->layout();
    if (l != nullptr && (l == graphColumn || l->findChildren<QLayout*>().contains(graphColumn)))
      graphRow = i;
  }
  QLayout* noteLayout = graphColumn;
  if (graphRow >= 0 && main->direction() == QBoxLayout::TopToBottom) {
    main->insertWidget(graphRow + 1, graphNote_);
    noteLayout = main;
  } else {
    graphColumn->addWidget(graphNote_);
  }
  const QMargins around = noteLayout->contentsMargins();
  const int width = noteLayout->sizeHint().width() - around.left() - around.right();
  int height = 0;
  for (int id : {sid::kCurveAbove, sid::kCurveBelow, sid::kCurveBackwards, sid::kCurveClipped}) {
    graphNote_->setText(LoadString(id));
    height = std::max(height, graphNote_->heightForWidth(width));
  }
  graphNote_->setFixedHeight(height);
  QSizePolicy policy = graphNote_->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  graphNote_->setSizePolicy(policy);
}

void CurveEditorDialog::ConnectControls() {
  // textEdited, not textChanged: only the user's typing, pasting and
  // deleting reach the session; the texts it gives back are set quietly.
  for (int i = 0; i < kPointCount; ++i) {
    QLineEdit* field = pointFields_[static_cast<std::size_t>(i)];
    connect(field, &QLineEdit::textEdited, this, [this, i](const QString& text) {
      edit_.SetPointText(i, ValueText(text));
      ShowEdit();
    });
  }
  connect(gammaField_, &QLineEdit::textEdited, this, [this](const QString& text) {
    edit_.SetGammaText(ValueText(text));
    ShowEdit();
  });
  // The name follows the field however its text changes.
  connect(nameField_, &QLineEdit::textChanged, this,
          [this](const QString& text) {
            edit_.SetName(NameToBytes(text));
            UpdateUndoActions();
          });
  connect(nameField_, &QLineEdit::inputRejected, this, &CurveEditorDialog::OnNameRejected);
  for (int c = 0; c < kChannelCount; ++c) {
    connect(colourButtons_[static_cast<std::size_t>(c)], &QRadioButton::clicked, this,
            [this, c] { OnShowChannel(c); });
  }
  // clicked: after the box has toggled, and only for the user's toggles.
  connect(allColoursBox_, &QCheckBox::clicked, this, &CurveEditorDialog::OnAllColours);
  connect(resetButton_, &QPushButton::clicked, this, [this] {
    edit_.Reset();
    ShowEdit();
  });
  connect(gammaSettingButton_, &QPushButton::clicked, this, &CurveEditorDialog::OnGammaSetting);
  connect(acceptButton_, &QPushButton::clicked, this, [this] { OnAccept(); });
  connect(cancelButton_, &QPushButton::clicked, this, [this] { done(kEditorCancelled); });
  connect(helpButton_, &QPushButton::clicked, this, [this] {
    if (showHelp_)
      showHelp_(kEditorHelpContext);
  });
  // F1 is the Help button.
  connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, helpButton_,
          &QPushButton::click);
}

// --- Opening ----------------------------------------------------------------

int CurveEditorDialog::Run(DensityDef& workingDefinition) {
  Open(workingDefinition);
  return exec();
}

void CurveEditorDialog::Open(DensityDef& workingDefinition) {
  working_ = &workingDefinition;
  edit_ = CurveEdit(workingDefinition, strings_);
  nameField_->setText(NameToQString(NameOf(workingDefinition)));
  // Each value is shown afresh, in the window's present language.
  for (QLineEdit* field : pointFields_) field->clear();
  gammaField_->clear();
  Initialize();
}

void CurveEditorDialog::Initialize() {
  dragPoint_ = 0;
  moveCount_ = 0;
  pressPending_ = false;
  setResult(0);

  setWindowTitle(LoadString(49));
  template_.Control<QLabel>(ids::kNameLabel)->setText(LoadString(52));
  template_.Control<QLabel>(ids::kGammaLabel)->setText(LoadString(53));
  gammaSettingButton_->setText(LoadString(54));
  cancelButton_->setText(LoadString(46));
  resetButton_->setText(LoadString(55));
  helpButton_->setText(LoadString(48));
  template_.Control<QGroupBox>(ids::kColourGroup)->setTitle(LoadString(65));
  allColoursBox_->setText(LoadString(66));
  for (int c = 0; c < kChannelCount; ++c) {
    colourButtons_[static_cast<std::size_t>(c)]->setText(LoadString(67 + c));
  }

  nameField_->setMaxLength(kNameFieldLimit);
  for (QLineEdit* field : pointFields_) field->setMaxLength(kValueFieldLimit);
  gammaField_->setMaxLength(kValueFieldLimit);
  ShowEdit();
}

// --- Showing the session ------------------------------------------------------

void CurveEditorDialog::ShowEdit(const ToneCurve* previewPoints) {
  auto show = [this](QLineEdit* field, const std::string& text) {
    // Only changed values are set: the field being typed in keeps its cursor
    // (and a point typed where the language writes a comma).
    if (ValueText(field->text()) != text)
      field->setText(FieldText(text));
  };
  for (int i = 0; i < kPointCount; ++i) {
    show(pointFields_[static_cast<std::size_t>(i)], previewPoints != nullptr
                                                        ? FormatHundredths(previewPoints->points[i])
                                                        : edit_.pointText(i));
  }
  show(gammaField_, edit_.gammaText());
  gammaSettingButton_->setEnabled(edit_.canApplyGamma());
  allColoursBox_->setChecked(edit_.allChannels());
  for (int c = 0; c < kChannelCount; ++c) {
    QRadioButton* button = colourButtons_[static_cast<std::size_t>(c)];
    button->setEnabled(!edit_.allChannels());
    if (c == edit_.selectedChannel())
      button->setChecked(true);
  }
  displayDefinition_ = edit_.definition();
  if (previewPoints != nullptr)
    displayDefinition_.channels[edit_.currentChannel()] = *previewPoints;
  RedrawGraph();
  UpdateUndoActions();
}

// --- Undo and Redo ------------------------------------------------------------

namespace {

// Keeps the undo and redo keys away from a text field: its own history
// would change the text behind the session's back. The shortcut override
// is left unaccepted, so the keys go to the window's actions; the key
// itself, which comes when the action is disabled, goes nowhere.
class UndoKeysFilter final : public QObject {
 public:
  UndoKeysFilter(std::vector<QAction*> actions, QObject* parent)
      : QObject(parent), actions_(std::move(actions)) {}

  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
      return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    const QKeySequence pressed(
        QKeyCombination(key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key())));
    for (const QAction* action : actions_) {
      const QList<QKeySequence> shortcuts = action->shortcuts();
      if (std::find(shortcuts.begin(), shortcuts.end(), pressed) != shortcuts.end())
        return true;
    }
    return false;
  }

 private:
  std::vector<QAction*> actions_;
};

}  // namespace

void CurveEditorDialog::SetUpUndo() {
  undoAction_ = new QAction(this);
  undoAction_->setShortcuts(QKeySequence::Undo);
  redoAction_ = new QAction(this);
  redoAction_->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                             QKeySequence(Qt::CTRL | Qt::Key_Y)});
  for (QAction* action : {undoAction_, redoAction_}) {
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
  }
  connect(undoAction_, &QAction::triggered, this, [this] { OnUndoRedo(false); });
  connect(redoAction_, &QAction::triggered, this, [this] { OnUndoRedo(true); });
  auto* filter = new UndoKeysFilter({undoAction_, redoAction_}, this);
  nameField_->installEventFilter(filter);
  gammaField_->installEventFilter(filter);
  for (QLineEdit* field : pointFields_) field->installEventFilter(filter);
  UpdateUndoActions();
}

void CurveEditorDialog::OnUndoRedo(bool redo) {
  if (redo)
    edit_.Redo();
  else
    edit_.Undo();
  // A drag under way ends: it previewed the curve as it was.
  pressPending_ = false;
  moveCount_ = 0;
  // The name field gives its text back to the session, which finds no change.
  const QString name = NameToQString(edit_.name());
  if (nameField_->text() != name)
    nameField_->setText(name);
  ShowEdit();
}

void CurveEditorDialog::UpdateUndoActions() {
  if (undoAction_ == nullptr)
    return;
  undoAction_->setEnabled(edit_.canUndo());
  redoAction_->setEnabled(edit_.canRedo());
}

// --- Commands ---------------------------------------------------------------

void CurveEditorDialog::OnShowChannel(int channel) {
  edit_.SelectChannel(channel);
  ShowEdit();
}

void CurveEditorDialog::OnAllColours() {
  edit_.SetAllChannels(allColoursBox_->isChecked());
  ShowEdit();
}

void CurveEditorDialog::OnGammaSetting() {
  if (const std::optional<Refusal> refusal = edit_.ApplyGamma())
    Refuse(*refusal);
  ShowEdit();
}

void CurveEditorDialog::Refuse(const Refusal& refusal) {
  Message m;
  if (refusal.stringId != 0) {
    m = StringMessage(strings_, refusal.stringId, MessageKind::Warning);
  } else {
    m.kind = MessageKind::Warning;
    m.text = refusal.text;
  }
  ui_.Show(m);
  // To the field concerned, on its channel.
  if (refusal.channel >= 0 && refusal.channel != edit_.currentChannel()) {
    edit_.SelectChannel(refusal.channel);
    ShowEdit();
  }
  QLineEdit* field = nameField_;
  if (refusal.point >= 0)
    field = pointFields_[static_cast<std::size_t>(refusal.point)];
  else if (refusal.channel >= 0)
    field = gammaField_;
  field->setFocus();
}

bool CurveEditorDialog::OnAccept() {
  if (const std::optional<Refusal> refusal = edit_.Accept()) {
    Refuse(*refusal);
    return false;
  }
  *working_ = edit_.definition();
  done(kEditorAccepted);
  return true;
}

void CurveEditorDialog::reject() {
  done(kEditorCancelled);
}

void CurveEditorDialog::closeEvent(QCloseEvent* event) {
  // Closing from the title bar accepts; when Accept refuses, the message has
  // been shown and the editor ends as cancelled.
  if (!OnAccept())
    done(kEditorCancelled);
  event->accept();
}

void CurveEditorDialog::OnNameRejected() {
  // Also emitted when the field is full; only a refused character is news.
  if (const auto c = nameValidator_->TakeRefused()) {
    Message m;
    m.kind = MessageKind::Warning;
    m.text = NameRefusalText(strings_, *c);
    ui_.Show(m);
  }
}

// --- Graph ------------------------------------------------------------------

QPoint CurveEditorDialog::GraphOrigin() const {
  return graphAnchor_->mapTo(this, QPoint(0, 0));
}

QRect CurveEditorDialog::GraphArea() const {
  return graphExtent_.translated(GraphOrigin());
}

void CurveEditorDialog::RedrawGraph() {
  // The graph is painted by the dialog's surface (the template's root): the
  // request covers the plot, its markers and its labels.
  QWidget* root = template_.root();
  root->update(graphExtent_.translated(graphAnchor_->mapTo(root, QPoint(0, 0))));
  ShowWhatPrints();
}

void CurveEditorDialog::ShowWhatPrints() {
  const bool allColours = edit_.allChannels();
  gradientStrip_->Show(displayDefinition_, allColours);
  // The curves drawn: the one curve, or all four.
  std::vector<CurveExcursions> drawn;
  for (int c = 0; c < (allColours ? 1 : kChannelCount); ++c)
    drawn.push_back(FindExcursions(displayDefinition_.channels[c]));
  const int note = ExcursionNote(drawn);
  if (note != 0)
    graphNote_->setText(LoadString(note));
  graphNote_->setVisible(note != 0);
}

void CurveEditorDialog::PaintGraph(QPaintEvent* event) {
  QWidget* root = template_.root();
  const QPoint origin = graphAnchor_->mapTo(root, QPoint(0, 0));
  const QRect area = graphExtent_.translated(origin);
  if (!event->rect().intersects(area))
    return;
  QPainter painter(root);
  // Everything the graph draws stays within its own part of the dialog,
  // markers of far out-of-range values included.
  painter.setClipRect(area & event->rect());
  GraphMode mode;
  mode.allColours = edit_.allChannels();
  mode.checkedChannel = edit_.selectedChannel();
  graph_.Paint(painter, origin, displayDefinition_, mode, root->font());
}

bool CurveEditorDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched != template_.root())
    return QDialog::eventFilter(watched, event);
  // Each mouse command leaves the event to Qt's own processing afterwards.
  switch (event->type()) {
    case QEvent::Paint:
      // The root draws nothing of its own: the graph is its painting.
      PaintGraph(static_cast<QPaintEvent*>(event));
      return true;
    case QEvent::MouseButtonPress:
      OnMousePress(*static_cast<QMouseEvent*>(event));
      break;
    case QEvent::MouseMove:
      OnMouseMove(*static_cast<QMouseEvent*>(event));
      break;
    case QEvent::MouseButtonRelease:
      OnMouseRelease(*static_cast<QMouseEvent*>(event));
      break;
    case QEvent::MouseButtonDblClick:
      OnMouseDoubleClick(*static_cast<QMouseEvent*>(event));
      break;
    default:
      break;
  }
  return QDialog::eventFilter(watched, event);
}

QPoint CurveEditorDialog::PlotPosition(const QMouseEvent& event) const {
  // The logical pixel under the pointer (positions are fractional at
  // fractional screen scales).
  const QPointF p = event.position();
  const QPoint pixel(static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y())));
  return pixel - graphAnchor_->mapTo(template_.root(), QPoint(0, 0));
}

void CurveEditorDialog::OnMousePress(const QMouseEvent& event) {
  if (event.button() != Qt::LeftButton)
    return;
  // Qt keeps delivering the pointer's moves and the release to the dialog
  // until the button goes up, wherever the pointer goes: the drag has the
  // mouse to itself.
  const QPoint p = PlotPosition(event);
  if (plot::InPlot(p.x(), p.y()))
    pressPending_ = true;
}

void CurveEditorDialog::OnMouseMove(const QMouseEvent& event) {
  if (!pressPending_)
    return;
  const QPoint p = PlotPosition(event);
  if (plot::InPlot(p.x(), p.y())) {
    // The first move picks the point; later moves keep it, so a drag moves
    // one point up and down.
    if (++moveCount_ == 1) {
      if (const auto column = plot::ColumnOfX(p.x()))
        dragPoint_ = *column;
    }
    // Preview only: the session changes at the release.
    ToneCurve preview = edit_.currentCurve();
    preview.points[dragPoint_] = plot::ValueOfY(p.y());
    ShowEdit(&preview);
  } else {
    // Leaving the plot abandons the drag: everything as before the press.
    pressPending_ = false;
    moveCount_ = 0;
    ShowEdit();
  }
}

void CurveEditorDialog::OnMouseRelease(const QMouseEvent& event) {
  if (event.button() != Qt::LeftButton || !pressPending_)
    return;
  pressPending_ = false;
  const QPoint p = PlotPosition(event);
  if (moveCount_ == 0) {
    if (const auto column = plot::ColumnOfX(p.x()))
      dragPoint_ = *column;
  } else {
    moveCount_ = 0;
  }
  edit_.SetPoint(dragPoint_, plot::ValueOfY(p.y()));
  ShowEdit();
}

void CurveEditorDialog::OnMouseDoubleClick(const QMouseEvent& event) {
  if (event.button() != Qt::LeftButton)
    return;
  const QPoint p = PlotPosition(event);
  if (!plot::InPlot(p.x(), p.y()))
    return;
  dragPoint_ = *plot::ColumnOfX(p.x());
  edit_.ClearPoint(dragPoint_);
  ShowEdit();
}

}  // namespace tonalis::ui
