#include "qt/status_strip.h"

#include <QHBoxLayout>
#include <QLabel>

namespace taloran {

namespace {
constexpr int kStripMargin = 6;  // pixels left and right of the strip's readings
}  // namespace

StatusStrip::StatusStrip(QWidget* parent)
    : QWidget(parent),
      probe_(new QLabel(this)),
      zoom_(new QLabel(this)),
      message_(new QLabel(this)),
      calibration_(new QLabel(this)) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(kStripMargin, 0, kStripMargin, 0);
  probe_->setObjectName(kProbe), zoom_->setObjectName(kZoom);
  message_->setObjectName(kMessage), calibration_->setObjectName(kCalibration);
  probe_->setAccessibleName("Pixel under the cursor");
  message_->setAccessibleName("Messages");
  message_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  row->addWidget(probe_, 1);
  row->addWidget(zoom_);
  row->addWidget(message_, 1);
  row->addWidget(calibration_);
}

void StatusStrip::ShowProbe(const QString& text) {
  probe_->setText(text);
  probe_->setAccessibleDescription(text);
}

void StatusStrip::ShowZoom(const QString& text) {
  zoom_->setText(text);
  zoom_->setAccessibleName(text);
}

void StatusStrip::ShowMessage(const QString& text) {
  message_->setText(text);
  message_->setAccessibleDescription(text);
}

void StatusStrip::ShowCalibration(const QString& text) {
  calibration_->setText(text);
  calibration_->setAccessibleName(text);
}

}  // namespace taloran
