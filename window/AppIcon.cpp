#include "window/AppIcon.h"

QIcon TunwickIcon() {
  QIcon icon;
  for (int size : {16, 32, 48})
    icon.addFile(QStringLiteral(":/icons/tunwick-%1.png").arg(size), QSize(size, size));
  return icon;
}
