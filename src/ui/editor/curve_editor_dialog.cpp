#include "ui/editor/curve_editor_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>
#include <cmath>
#include <optional>

#include "ui/editor/plot_geometry.h"
#include "model/tone_curve.h"
#include "model/value_text.h"
#include "ui/latin1.h"
#include "ui/qt_interaction.h"
#include "ui/strings.h"

namespace tonalis::ui {

namespace ids = editor_ids;

// Refuses an edit of the name field that brings in a character a name cannot
// hold (see IsNameCharacter) and remembers the first such character, so that
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
      if (!IsNameCharacter(input[i]) && !before.contains(c)) {
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
    return std::count_if(text.begin(), text.end(), [](QChar c) { return !IsNameCharacter(c); });
  }

  QString before_;
  mutable std::optional<QString> refused_;
};

namespace {

// Why a character was refused in the name. Names are stored in ISO 8859-1
// (see ui/latin1.h).
std::string NameRefusalText(const QString& c) {
  if (c.size() == 1 && c[0].unicode() <= 0xFF) {
    return "A name cannot hold control characters such as tabs or line breaks.";
  }
  return QStringLiteral(
             "A name can hold only the letters and signs of ISO 8859-1 (Latin-1), the character "
             "set of printer description files; \u201C%1\u201D is not one of them.")
      .arg(c)
      .toStdString();
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
}

CurveEditorDialog::~CurveEditorDialog() = default;

QString CurveEditorDialog::LoadString(int id) const {
  return ui::LoadString(strings_, id);
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
  // The labels lie around the plot, beyond the anchor: the anchor's layout
  // gets margins that hold them, in the dialog's font.
  graphExtent_ = graph_.Extent(template_.root()->font());
  QLayout* anchorLayout = nullptr;
  for (QLayout* l : template_.root()->findChildren<QLayout*>()) {
    if (l->indexOf(graphAnchor_) >= 0)
      anchorLayout = l;
  }
  if (anchorLayout == nullptr) {
    throw TemplateError("dialog template dialog129: the graph anchor is not in a layout");
  }
  constexpr int kPad = 4;
  anchorLayout->setContentsMargins(-graphExtent_.left() + kPad, -graphExtent_.top() + kPad,
                                   graphExtent_.right() - plot::kPlotSize + kPad,
                                   graphExtent_.bottom() - plot::kPlotSize + kPad);
}

void CurveEditorDialog::ConnectControls() {
  // textEdited, not textChanged: only the user's typing, pasting and
  // deleting run the field-change commands.
  for (int i = 0; i < kPointCount; ++i) {
    connect(pointFields_[static_cast<std::size_t>(i)], &QLineEdit::textEdited, this,
            [this, i] { OnPointFieldChanged(i); });
  }
  connect(gammaField_, &QLineEdit::textEdited, this, &CurveEditorDialog::OnGammaFieldChanged);
  connect(nameField_, &QLineEdit::inputRejected, this, &CurveEditorDialog::OnNameRejected);
  for (int c = 0; c < kChannelCount; ++c) {
    connect(colourButtons_[static_cast<std::size_t>(c)], &QRadioButton::clicked, this,
            [this, c] { OnShowChannel(c); });
  }
  // clicked: after the box has toggled, and only for the user's toggles.
  connect(allColoursBox_, &QCheckBox::clicked, this, &CurveEditorDialog::OnAllColours);
  connect(resetButton_, &QPushButton::clicked, this, &CurveEditorDialog::OnReset);
  connect(gammaSettingButton_, &QPushButton::clicked, this, &CurveEditorDialog::OnGammaSetting);
  connect(acceptButton_, &QPushButton::clicked, this, [this] { OnAccept(); });
  connect(cancelButton_, &QPushButton::clicked, this, &CurveEditorDialog::OnCancel);
  connect(helpButton_, &QPushButton::clicked, this, &CurveEditorDialog::OnHelp);
}

// --- Opening ----------------------------------------------------------------

int CurveEditorDialog::Run(DensityDef& workingDefinition) {
  Open(workingDefinition);
  return exec();
}

void CurveEditorDialog::Open(DensityDef& workingDefinition) {
  working_ = &workingDefinition;
  // The fields start from the definition: its name and its cyan channel.
  nameField_->setText(NameToQString(NameOf(workingDefinition)));
  ShowChannelFields(workingDefinition.channels[kCyan]);
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

  // Disabled in the template, enabled when there is a gamma (this also
  // resets a second opening of the same editor).
  UpdateGammaSettingEnabled();

  const bool all = working_->allChannels == 1;
  allColoursBox_->setChecked(all);
  SetColourButtonsEnabled(!all);
  colourButtons_[kCyan]->setChecked(true);

  displayDefinition_ = *working_;
  RedrawGraph();
}

// --- Field helpers ----------------------------------------------------------

int CurveEditorDialog::activeChannel() const {
  if (allColoursBox_->isChecked())
    return kCyan;
  for (int c = 0; c < kChannelCount; ++c) {
    if (colourButtons_[static_cast<std::size_t>(c)]->isChecked())
      return c;
  }
  return kCyan;
}

void CurveEditorDialog::ShowPoints(const ToneCurve& curve) {
  for (int i = 0; i < kPointCount; ++i) {
    pointFields_[static_cast<std::size_t>(i)]->setText(
        QString::fromStdString(FormatHundredths(curve.points[i])));
  }
}

void CurveEditorDialog::ShowChannelFields(const ToneCurve& curve) {
  ShowPoints(curve);
  gammaField_->setText(QString::fromStdString(FormatHundredths(curve.gamma)));
}

void CurveEditorDialog::SetColourButtonsEnabled(bool enabled) {
  for (QRadioButton* b : colourButtons_) b->setEnabled(enabled);
}

void CurveEditorDialog::UpdateGammaSettingEnabled() {
  gammaSettingButton_->setEnabled(!gammaField_->text().isEmpty());
}

void CurveEditorDialog::ShowWorkingDefinition() {
  displayDefinition_ = *working_;
  RedrawGraph();
}

void CurveEditorDialog::Warn(int stringId) {
  ui_.Show(StringMessage(strings_, stringId, MessageKind::Warning));
}

// --- Commands ---------------------------------------------------------------

void CurveEditorDialog::OnPointFieldChanged(int index) {
  const int c = activeChannel();
  // An empty field unsets the point, a malformed text leaves it, a number
  // out of range is kept until Accept refuses it.
  (void)ParseHundredths(pointFields_[static_cast<std::size_t>(index)]->text().toStdString(),
                        working_->channels[c].points[index]);
  ShowWorkingDefinition();
}

void CurveEditorDialog::OnGammaFieldChanged() {
  const int c = activeChannel();
  (void)ParseHundredths(gammaField_->text().toStdString(), working_->channels[c].gamma);
  UpdateGammaSettingEnabled();
}

void CurveEditorDialog::OnShowChannel(int channel) {
  // The name field keeps what the user typed.
  ShowChannelFields(working_->channels[channel]);
  UpdateGammaSettingEnabled();
  ShowWorkingDefinition();
}

void CurveEditorDialog::OnAllColours() {
  DensityDef& def = *working_;
  if (!allColoursBox_->isChecked()) {
    for (int c = kMagenta; c < kChannelCount; ++c) def.channels[c] = def.channels[kCyan];
    def.allChannels = 0;
    SetColourButtonsEnabled(true);
  } else {
    def.allChannels = 1;
    // The checked colour's curve becomes the one curve; the button stays
    // checked. The fields already show that curve.
    int shown = kCyan;
    for (int c = 0; c < kChannelCount; ++c) {
      if (colourButtons_[static_cast<std::size_t>(c)]->isChecked())
        shown = c;
    }
    const ToneCurve kept = def.channels[shown];
    for (ToneCurve& channel : def.channels) channel = kept;
    SetColourButtonsEnabled(false);
  }
  ShowWorkingDefinition();
}

void CurveEditorDialog::OnReset() {
  // The gammas, the name field and the gamma field stay.
  ResetCurves(*working_);
  ShowPoints(working_->channels[kCyan]);
  allColoursBox_->setChecked(true);
  SetColourButtonsEnabled(false);
  colourButtons_[kCyan]->setChecked(true);
  ShowWorkingDefinition();
}

void CurveEditorDialog::OnGammaSetting() {
  const int c = activeChannel();
  int32_t gamma = kUnset;
  const std::string text = gammaField_->text().left(8).toStdString();
  if (!ParseHundredths(text, gamma) || gamma < 1 || gamma > 9999) {
    Warn(sid::kGammaOutOfRange);
    return;
  }
  const auto points = ApplyGamma(gamma);
  std::copy(points.begin(), points.end(), working_->channels[c].points);
  // The channel's gamma follows the gamma field as it is typed; it is not
  // touched here.
  ShowPoints(working_->channels[c]);
  ShowWorkingDefinition();
}

bool CurveEditorDialog::OnAccept() {
  DensityDef candidate = *working_;
  if (nameField_->text().isEmpty()) {
    Warn(sid::kNameThisSetting);
    return false;
  }
  if (pointFields_.front()->text().isEmpty() || pointFields_.back()->text().isEmpty()) {
    Warn(sid::kNoEndPoints);
    return false;
  }
  // The name as typed, blanks included.
  SetName(candidate, NameToBytes(nameField_->text()));

  const bool all = allColoursBox_->isChecked();
  const int c = activeChannel();
  candidate.allChannels = all ? 1 : 0;

  // Fields in index order: the first bad one is reported.
  ToneCurve& curve = candidate.channels[c];
  for (int i = 0; i < kPointCount; ++i) {
    if (!ParseHundredths(pointFields_[static_cast<std::size_t>(i)]->text().toStdString(),
                         curve.points[i])) {
      Warn(sid::kFirstPointOutOfRange + i);
      return false;
    }
  }
  if (!ParseHundredths(gammaField_->text().toStdString(), curve.gamma) ||
      (curve.gamma != kUnset && (curve.gamma < 1 || curve.gamma > 9999))) {
    Warn(sid::kGammaOutOfRange);
    return false;
  }
  if (all) {
    for (int k = kMagenta; k < kChannelCount; ++k)
      candidate.channels[k] = candidate.channels[kCyan];
  }
  // Only the channel on show is checked; the others are kept as they stand.
  *working_ = candidate;
  done(kEditorAccepted);
  return true;
}

void CurveEditorDialog::OnCancel() {
  done(kEditorCancelled);
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

void CurveEditorDialog::OnHelp() {
  if (showHelp_)
    showHelp_(kEditorHelpContext);
}

void CurveEditorDialog::OnNameRejected() {
  // Also emitted when the field is full; only a refused character is news.
  if (const auto c = nameValidator_->TakeRefused()) {
    Message m;
    m.kind = MessageKind::Warning;
    m.text = NameRefusalText(*c);
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
  mode.allColours = allColoursBox_->isChecked();
  mode.checkedChannel = kCyan;
  for (int c = 0; c < kChannelCount; ++c) {
    if (colourButtons_[static_cast<std::size_t>(c)]->isChecked())
      mode.checkedChannel = c;
  }
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
  const int c = activeChannel();
  if (plot::InPlot(p.x(), p.y())) {
    // The first move picks the point; later moves keep it, so a drag moves
    // one point up and down.
    if (++moveCount_ == 1) {
      if (const auto column = plot::ColumnOfX(p.x()))
        dragPoint_ = *column;
    }
    // Preview only: the working definition changes at the release.
    ToneCurve preview = working_->channels[c];
    preview.points[dragPoint_] = plot::ValueOfY(p.y());
    ShowPoints(preview);
    displayDefinition_.channels[c] = preview;
    RedrawGraph();
  } else {
    // Leaving the plot abandons the drag: everything as before the press.
    pressPending_ = false;
    moveCount_ = 0;
    ShowPoints(working_->channels[c]);
    ShowWorkingDefinition();
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
  const int c = activeChannel();
  // A point that was unset becomes set.
  working_->channels[c].points[dragPoint_] = plot::ValueOfY(p.y());
  ShowPoints(working_->channels[c]);
  ShowWorkingDefinition();
}

void CurveEditorDialog::OnMouseDoubleClick(const QMouseEvent& event) {
  if (event.button() != Qt::LeftButton)
    return;
  const QPoint p = PlotPosition(event);
  if (!plot::InPlot(p.x(), p.y()))
    return;
  dragPoint_ = *plot::ColumnOfX(p.x());
  const int c = activeChannel();
  // Inner points go; the end points cannot be unset and go back to 0 % and
  // 100 % instead.
  int32_t& point = working_->channels[c].points[dragPoint_];
  if (dragPoint_ == 0) {
    point = 0;
  } else if (dragPoint_ == kPointCount - 1) {
    point = 10000;
  } else {
    point = kUnset;
  }
  ShowPoints(working_->channels[c]);
  ShowWorkingDefinition();
}

}  // namespace tonalis::ui
