#include "qt/modal_dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include "qt/export_dialog.h"

namespace taloran {

// The filter names only its description, as the template does.
std::vector<std::string> QtModalDialogs::ChooseFiles(QWidget* parent, const QString& filter, const QString& folder) {
  QFileDialog dialog(parent, QString(), folder);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setNameFilter(filter);
  std::vector<std::string> chosen;
  if (dialog.exec() != QDialog::Accepted) return chosen;
  for (const QString& file : dialog.selectedFiles()) chosen.push_back(file.toStdString());
  return chosen;
}

std::optional<std::string> QtModalDialogs::ChooseSavePath(QWidget* parent, const std::string& suggested) {
  const QString path = QFileDialog::getSaveFileName(parent, "Save picture as", QString::fromStdString(suggested),
                                                    "PNG image (*.png);;BMP image (*.bmp)");
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

void QtModalDialogs::ShowMessage(QWidget* parent, const std::string& text) {
  QMessageBox::information(parent, parent != nullptr ? parent->windowTitle() : QString(), QString::fromStdString(text));
}

void QtModalDialogs::ShowError(QWidget* parent, const std::string& text) {
  QMessageBox::critical(parent, parent != nullptr ? parent->windowTitle() : QString(), QString::fromStdString(text));
}

std::optional<std::string> QtModalDialogs::AskText(QWidget* parent, const QString& title, const std::string& prompt,
                                                   const QString& initial) {
  bool ok = false;
  const QString text =
      QInputDialog::getText(parent, title, QString::fromStdString(prompt), QLineEdit::Normal, initial, &ok);
  if (!ok) return std::nullopt;
  return text.toStdString();
}

bool QtModalDialogs::ConfirmSave(QWidget* parent, const QString& title, const std::string& text) {
  return QMessageBox::question(parent, title, QString::fromStdString(text), QMessageBox::Save | QMessageBox::Cancel,
                               QMessageBox::Save) == QMessageBox::Save;
}

std::optional<std::string> QtModalDialogs::ChooseJsonFile(QWidget* parent, const QString& title,
                                                          const std::string& suggested, bool save) {
  const QString filter = "Calibration (*.json)";
  const QString start = QString::fromStdString(suggested);
  const QString path = save ? QFileDialog::getSaveFileName(parent, title, start, filter)
                            : QFileDialog::getOpenFileName(parent, title, start, filter);
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

std::optional<ExportChoice> QtModalDialogs::ChooseExport(QWidget* parent, const ExportChoice& suggested, bool folder) {
  return AskExportChoice(parent, suggested, folder);
}

}  // namespace taloran
