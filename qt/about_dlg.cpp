#include "qt/about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "qt/dialog_units.h"
#include "qt/resources.h"
#include "res/dialog_templates.h"

namespace taloran {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  const res::DialogTemplate& t = res::kAboutDialog;
  setWindowTitle(t.caption);
  setFont(DialogFont());
  const DialogUnits units(font());
  setFixedSize(units.ToPixels(0, 0, t.width, t.height).size());
  for (const res::ControlTemplate& c : t.controls) {
    const QRect rect = units.ToPixels(c.x, c.y, c.width, c.height);
    if (c.kind == res::ControlKind::Icon) {
      auto* icon = new QLabel(this);
      icon->setPixmap(AppIcon().pixmap(32, 32));
      icon->setGeometry(QRect(rect.topLeft(), QSize(32, 32)));
    } else if (c.kind == res::ControlKind::Label) {
      auto* label = new QLabel(QString::fromUtf8(c.caption), this);
      label->setTextFormat(Qt::PlainText);
      label->setGeometry(rect);
    } else {
      auto* ok = new QPushButton(QString::fromUtf8(c.caption), this);
      ok->setDefault(true);
      ok->setGeometry(rect);
      connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
  }
}

}  // namespace taloran
