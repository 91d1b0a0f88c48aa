#include "qt/modal_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

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

}  // namespace taloran
