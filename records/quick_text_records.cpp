#include "platform/text_list.h"
#include "platform/windows.h"
#include "records/record_families.h"
#include "records/record_text.h"
#include "screens/qdtype_commentator.h"

// Eight lines of free text: comma fields 2 to 9 of the whole record. The list
// is refilled with no event-loop turn in between, so it is never seen half full.
FamilyResult HandleQuickTextRecord(const EventScreens& screens, const RecordTags& record) {
  Tqdtype_commentator_form& window = *screens.quick_text;
  ShowAndRaise(&window);
  window.listbox1->Clear();
  for (int field = 2; field <= 9; ++field) {
    window.listbox1->AddLine(CommaField(field, record.Text()));
  }
  return FamilyResult::kContinue;
}
