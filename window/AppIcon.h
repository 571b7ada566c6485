#pragma once

#include <QIcon>

// The program's icon (icon 128) in its 16, 32 and 48 pixel pictures.
QIcon TunwickIcon();
