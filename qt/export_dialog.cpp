#include "qt/export_dialog.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace taloran {

namespace {

// A line edit with a "Browse..." button that fills it.
QWidget* PathRow(QWidget* parent, QLineEdit* edit, const std::function<QString()>& browse) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* button = new QPushButton("Browse...", row);
  button->setAccessibleName(edit->accessibleName() + " browse");
  QObject::connect(button, &QPushButton::clicked, row, [edit, browse] {
    const QString path = browse();
    if (!path.isEmpty()) edit->setText(path);
  });
  layout->addWidget(edit, 1);
  layout->addWidget(button);
  return row;
}

QComboBox* Choices(QWidget* parent, const QString& name, const QStringList& items, int current) {
  auto* box = new QComboBox(parent);
  box->addItems(items);
  box->setCurrentIndex(current);
  box->setAccessibleName(name);
  return box;
}

}  // namespace

std::optional<ExportChoice> AskExportChoice(QWidget* parent, const ExportChoice& s, bool folder) {
  QDialog dialog(parent);
  dialog.setWindowTitle(folder ? "Export folder" : "Export capture");
  auto* form = new QFormLayout(&dialog);
  auto* out = new QLineEdit(QString::fromStdString(s.folder), &dialog);
  out->setAccessibleName("Output folder");
  form->addRow("Output folder", PathRow(&dialog, out, [&] {
                 return QFileDialog::getExistingDirectory(&dialog, "Output folder", out->text());
               }));
  QComboBox* layout = Choices(&dialog, "Layout", {"A file per band", "One file of four bands"},
                              s.layout == ExportLayout::Stack ? 1 : 0);
  form->addRow("Layout", layout);
  const int samples = !s.samples                            ? 0
                      : *s.samples == ExportSamples::Uint8  ? 1
                      : *s.samples == ExportSamples::Uint16 ? 2
                                                            : 3;
  QComboBox* format = Choices(&dialog, "Samples",
                              {"Automatic (8-bit, or 16-bit reflectance with a calibration)", "8-bit",
                               "16-bit reflectance x 32,768", "32-bit floating-point reflectance"},
                              samples);
  form->addRow("Samples", format);
  QComboBox* compress = Choices(&dialog, "Compression", {"None", "Deflate (lossless)"}, s.deflate ? 1 : 0);
  form->addRow("Compression", compress);
  auto* camera = new QLineEdit(QString::fromStdString(s.cameraProfile), &dialog);
  camera->setAccessibleName("Camera profile");
  camera->setPlaceholderText("none: neutral make and model");
  form->addRow("Camera profile", PathRow(&dialog, camera, [&] {
                 return QFileDialog::getOpenFileName(&dialog, "Camera profile", camera->text(),
                                                     "Camera profile (*.json)");
               }));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setText("Export");
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted || out->text().isEmpty()) return std::nullopt;
  ExportChoice choice;
  choice.folder = out->text().toStdString();
  choice.layout = layout->currentIndex() == 1 ? ExportLayout::Stack : ExportLayout::Bands;
  constexpr ExportSamples kFormats[] = {ExportSamples::Uint8, ExportSamples::Uint8, ExportSamples::Uint16,
                                        ExportSamples::Float32};
  if (format->currentIndex() > 0) choice.samples = kFormats[format->currentIndex()];
  choice.deflate = compress->currentIndex() == 1;
  choice.cameraProfile = camera->text().toStdString();
  return choice;
}

}  // namespace taloran
