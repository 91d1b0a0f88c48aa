// Icon 128 and bitmap 130, drawn for Taloran and kept as XPM in res/.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace taloran {

QIcon AppIcon();       // 16 x 16 and 32 x 32
QPixmap LogoBitmap();  // 145 x 65

}  // namespace taloran
