#include "qt/resources.h"

#include "res/taloran_icon_16.xpm"
#include "res/taloran_icon_32.xpm"
#include "res/taloran_logo.xpm"

namespace taloran {

QIcon AppIcon() {
  QIcon icon;
  icon.addPixmap(QPixmap(taloran_icon_16_xpm));
  icon.addPixmap(QPixmap(taloran_icon_32_xpm));
  return icon;
}

QPixmap LogoBitmap() { return QPixmap(taloran_logo_xpm); }

}  // namespace taloran
