// Start-up and the orderly end: every window created hidden in the fixed
// order, the main window shown by the event loop, and on the way out the
// windows destroyed last-created first with the main window hidden last.
#pragma once

#include "app/commenta0.h"

#include <memory>

class Tcommentator_scratch;
class Tip_listening_address_form;
class Tptsrace_commentator_form;
class Tqdtype_commentator_form;
class Tsprintr_commentator_form;
class Ttt_commentator_form;

class CommentatorWindows {
 public:
  explicit CommentatorWindows(ListenerPorts ports = {});
  ~CommentatorWindows();
  CommentatorWindows(const CommentatorWindows&) = delete;
  CommentatorWindows& operator=(const CommentatorWindows&) = delete;

  // The event loop's first step: the main window, centred on the desktop.
  void ShowMainWindow();

  std::unique_ptr<Tcommentator0_form> commentator0_form;
  std::unique_ptr<Tsprintr_commentator_form> sprintr_commentator_form;
  std::unique_ptr<Ttt_commentator_form> tt_commentator_form;
  std::unique_ptr<Tptsrace_commentator_form> ptsrace_commentator_form;
  std::unique_ptr<Tip_listening_address_form> ip_listening_address_form;
  std::unique_ptr<Tcommentator_scratch> commentator_scratch;
  std::unique_ptr<Tqdtype_commentator_form> qdtype_commentator_form;
};

inline constexpr const char* kApplicationTitle = "Orvane Commentator Screen";

int RunCommentator(int argc, char** argv);
