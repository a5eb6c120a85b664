#include "common/ui/tip_window.h"

#include "common/ui/text_convert.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QStyle>
#include <QVBoxLayout>

namespace vantiro::ui {
namespace {

const QString kTipKey = QStringLiteral("Options/Show Tips at Startup");


}  // namespace

int readTipSwitch() {
  QSettings settings(QStringLiteral("vantiro"), QStringLiteral("vantiro"));
  QString value = settings.value(kTipKey, QStringLiteral("1")).toString().trimmed();
  bool ok = false;
  int number = value.toInt(&ok);
  return ok ? number : 1;
}

void writeTipSwitch(const QString& value) {
  QSettings settings(QStringLiteral("vantiro"), QStringLiteral("vantiro"));
  settings.setValue(kTipKey, value);
  settings.sync();
}

TipWindow* TipWindow::open(QWidget* parent, UniformRandom random) {
  if (readTipSwitch() == 0) return nullptr;
  auto* window = new TipWindow(parent, random ? std::move(random) : clockSeededRandom());
  window->chkLoadTipsAtStartup->setChecked(true);
  if (!window->tips_.LoadTips(tipsFilePath()))
    window->lblTipText->setText(toQString(missingTipsFileText()));
  else
    window->DisplayCurrentTip();
  window->show();
  return window;
}

TipWindow::TipWindow(QWidget* parent, UniformRandom random) : QDialog(parent), tips_(std::move(random)) {
  setObjectName(QStringLiteral("frmTip"));
  setWindowTitle(QStringLiteral("日积月累"));
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);

  auto* panel = new QFrame(this);
  panel->setFrameShape(QFrame::StyledPanel);
  panel->setAutoFillBackground(true);
  panel->setStyleSheet(QStringLiteral("QFrame { background: #fffff0; }"));
  auto* bulb = new QLabel(panel);
  bulb->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(40, 40));
  bulb->setAlignment(Qt::AlignTop);
  Label1 = new QLabel(QStringLiteral("您知道吗？"), panel);
  Label1->setObjectName(QStringLiteral("Label1"));
  QFont heading = Label1->font();
  heading.setBold(true);
  heading.setPointSizeF(heading.pointSizeF() * 1.3);
  Label1->setFont(heading);
  lblTipText = new QLabel(panel);
  lblTipText->setObjectName(QStringLiteral("lblTipText"));
  lblTipText->setWordWrap(true);
  lblTipText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblTipText->setMinimumSize(340, 80);
  auto* texts = new QVBoxLayout;
  texts->addWidget(Label1);
  texts->addWidget(lblTipText, 1);
  auto* panelLayout = new QHBoxLayout(panel);
  panelLayout->addWidget(bulb);
  panelLayout->addLayout(texts, 1);

  chkLoadTipsAtStartup = new QCheckBox(this);
  chkLoadTipsAtStartup->setObjectName(QStringLiteral("chkLoadTipsAtStartup"));
  Label2 = new QLabel(QStringLiteral("启动时显示(&S)"), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->setBuddy(chkLoadTipsAtStartup);
  Label2->installEventFilter(this);
  cmdNextTip = new QPushButton(QStringLiteral("下一个(&N)"), this);
  cmdNextTip->setObjectName(QStringLiteral("cmdNextTip"));
  cmdOK = new QPushButton(QStringLiteral("确定"), this);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setDefault(true);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(chkLoadTipsAtStartup);
  buttons->addWidget(Label2);
  buttons->addStretch(1);
  buttons->addWidget(cmdNextTip);
  buttons->addWidget(cmdOK);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(panel, 1);
  layout->addLayout(buttons);

  // Every change of the box, by the user or by the window itself, is stored at once.
  connect(chkLoadTipsAtStartup, &QCheckBox::toggled, this,
          [](bool on) { writeTipSwitch(on ? QStringLiteral("1") : QStringLiteral("0")); });
  connect(cmdNextTip, &QPushButton::clicked, this, &TipWindow::ShowRandomTip);
  connect(cmdOK, &QPushButton::clicked, this, &QDialog::close);
}

void TipWindow::ShowRandomTip() {
  tips_.pickRandomTip();
  DisplayCurrentTip();
}

void TipWindow::DisplayCurrentTip() {
  if (auto text = tips_.currentTipText()) lblTipText->setText(toQString(*text));
}

QString TipWindow::tipText() const { return lblTipText->text(); }

bool TipWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Label2 && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
    chkLoadTipsAtStartup->setChecked(!chkLoadTipsAtStartup->isChecked());
  return QDialog::eventFilter(watched, event);
}

}  // namespace vantiro::ui
