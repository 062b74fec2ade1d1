#include "screens/screen_common.h"

#include "app/globals.h"
#include "platform/string_grid.h"

#include <QApplication>
#include <QCloseEvent>

void ApplyDisplayColours(StringGrid& grid) {
  const globals::DisplayColours& colours = globals::display_colours;
  grid.SetColours(colours.background, colours.text, colours.heading);
}

void EndProgramOnClose(QCloseEvent* event) {
  event->accept();
  QApplication::quit();
}
