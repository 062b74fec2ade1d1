// The application's style with the few changes the display controls need:
// grid lines in their own grey, and a chooser whose open list is a list of
// its own (of a settable height) rather than one laid over it.
#pragma once

class QStyle;

// Shared by every display control; deleted with the application.
QStyle* DisplayStyle();
