// The about box, built from its template.
#pragma once

#include <QDialog>

namespace taloran {

class CAboutDlg : public QDialog {
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace taloran
