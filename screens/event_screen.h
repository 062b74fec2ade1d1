// What the event screens share: the kind of frame, the first placement over
// the main window or covering the primary screen, the display colours of
// their grids, and that closing one ends the program. Each screen adds only
// its own layout and what it does when it comes into view (Prepare).
#pragma once

#include "records/columns.h"
#include "records/screen_data.h"

#include <QColor>
#include <QSize>
#include <QWidget>

#include <initializer_list>
#include <span>
#include <vector>

class GridModel;
class GridView;
class QGroupBox;
class QLabel;
class WindowFrame;

// The colours of the traffic log and of every event screen's grids and
// chooser; they never change while the program runs.
struct DisplayColours {
  QColor background;
  QColor text;
  QColor heading;
};
inline const DisplayColours kDisplayColours = {QColor(0, 0, 0), QColor(255, 255, 255),
                                               QColor(128, 0, 128)};

class EventScreen : public QWidget, public ScreenWindow {
  Q_OBJECT

 public:
  enum class Frame {
    kSizeableWithoutButtons,  // a sizeable border and a caption; maximised by a double click
    kFixedDialog,             // caption and close box; only the program sizes it
    kResizable,               // caption, minimise, maximise and close boxes
    kResizableCloseOnly,      // caption and close box
  };
  enum class Placement {
    kCentredOverMainWindow,  // on the first showing; then where the user leaves it
    kCoversPrimaryScreen,    // on every showing
  };
  enum class OnClose { kEndsProgram, kHides };

  struct Design {
    const char* object_name;
    const char* caption;
    QColor background;
    Frame frame;
    Placement placement;
    QSize outer_size = {};  // when centred; a covering window takes the screen's
    QSize design_client;    // the client size the layout is drawn for
    OnClose on_close = OnClose::kEndsProgram;
  };

  EventScreen(const Design& design, const QWidget* main_window);

  // Creates the controls, once; showing the window does it too.
  void EnsureBuilt();

  void ShowAndRaise() override;
  // F11: full screen on the monitor the window is on, and back to its frame
  // and place.
  void ToggleFullScreen();
  // Paints the window at once if ShowAndRaise has just brought it forward;
  // a window already in front has nothing new to show.
  void DrawPending() override;

  // A word about trouble with the feed ("quiet for 20 s"), drawn over the
  // screen's picture so it covers no data (a screen without one: in its
  // bottom right corner); an empty text takes it away.
  void SetFeedNotice(const QString& text, const QColor& colour);
  // The notice as shown; empty while there is none.
  QString FeedNotice() const;

 protected:
  // Creates the controls. Most screens stay hidden all evening, so this
  // waits for the first showing; the screen data is kept meanwhile.
  virtual void Build() {}
  // Runs on each change from hidden to visible, once the window is placed.
  virtual void Prepare() {}

  // The controls that Tab and Shift+Tab move between, in order. They take
  // focus only from a click or from this order, so a screen that comes to
  // the front repaints no focus frame.
  void SetFocusOrder(std::initializer_list<QWidget*> controls);
  bool focusNextPrevChild(bool next) override;

  QGroupBox* MakeGroupBox(QWidget* parent, const QString& caption, const QRect& place,
                          const QColor& colour);
  // A display-only grid over `model`, in the display colours, with the
  // columns' widths.
  GridView* MakeGrid(QWidget* parent, GridModel& model, const QRect& place,
                     const QString& accessible_name, const QFont& font,
                     std::span<const Column> columns);
  // The first picture a screen makes is where its feed notice goes.
  QLabel* MakePicture(QWidget* parent, const QRect& place, const QPixmap& picture,
                      bool stretched = false);

  void setVisible(bool visible) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void PlaceFeedNotice();

  const Design design_;
  const QWidget* main_window_;
  WindowFrame* frame_;
  bool built_ = false;
  bool placed_ = false;
  bool brought_forward_ = false;
  bool painted_this_turn_ = false;  // by DrawPending, in this turn of the event loop
  QRect outer_before_full_screen_;
  std::vector<QWidget*> focus_order_;
  QLabel* notice_place_ = nullptr;  // the picture the notice covers
  QLabel* notice_ = nullptr;        // made with the first notice
  QString notice_text_;
  QColor notice_colour_;
};
