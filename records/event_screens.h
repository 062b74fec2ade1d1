// The windows the record families write into.
#pragma once

class Tcommentator_scratch;
class Tqdtype_commentator_form;
class Tsprintr_commentator_form;
class Tptsrace_commentator_form;
class Ttt_commentator_form;

struct EventScreens {
  Tcommentator_scratch* scratch = nullptr;
  Tqdtype_commentator_form* quick_text = nullptr;
  Tsprintr_commentator_form* sprint = nullptr;
  Tptsrace_commentator_form* points_race = nullptr;
  Ttt_commentator_form* time_trial = nullptr;
};
