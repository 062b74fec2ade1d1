// The faces the windows are designed in, and the installed families that
// stand in for them.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

enum class Face {
  kMsSansSerif,  // "Liberation Sans": Arial's metrics, so texts fit as designed
  kTerminal,     // "Liberation Mono": fixed pitch, with a real bold
  kLcdD,         // "DSEG7 Classic": seven-segment digits
};

// The families asked for, the preferred first, then the fallbacks.
QStringList FaceFamilies(Face face);
QString FaceFamily(Face face);
QFont DesignFont(Face face, int pixel_height, bool bold = false, bool italic = false);
