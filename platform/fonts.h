// The faces the windows are designed in, and the installed families that
// stand in for them.
#pragma once

#include <QFont>
#include <QString>

enum class Face {
  kMsSansSerif,  // "DejaVu Sans"
  kTerminal,     // "Terminus (TTF)", a fixed-pitch face
  kLcdD,         // "DSEG7 Classic", seven-segment digits
};

QString FaceFamily(Face face);
QFont DesignFont(Face face, int pixel_height, bool bold = false, bool italic = false);
