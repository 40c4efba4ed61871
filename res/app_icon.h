// Icon 128: the program's own picture, a mower on a strip of lawn, drawn
// at run time so no image file has to travel with the program.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace verdelo {

QPixmap AppIconPixmap(int size);
QIcon AppIcon();

}  // namespace verdelo
