// The pictures on the windows, drawn in code at their designed pixel sizes.
#pragma once

#include <QPixmap>

QPixmap LogoPicture();           // main window, 200 x 224
QPixmap ScratchBadgePicture();   // scratch / keirin screen, 90 x 79
QPixmap ScratchBannerPicture();  // scratch / keirin screen, 220 x 67
QPixmap EventPicture();          // points race, sprint and time trial screens, 100 x 112
