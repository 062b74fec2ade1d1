// What every event screen does alike.
#pragma once

class QCloseEvent;
class StringGrid;

// Background, text and heading colours of the display, as the main window set them.
void ApplyDisplayColours(StringGrid& grid);

// Closing an event screen ends the whole program, as the Exit command does;
// the close itself is granted.
void EndProgramOnClose(QCloseEvent* event);
