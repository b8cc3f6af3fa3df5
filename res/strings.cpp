#include "platform/winsys/display.h"
#include "res/resource.h"

namespace {

// A Windows executable carries its strings from the start; filling the table
// during static initialisation matches that, for readers before main too.
struct Registration {
    Registration() { winsys::RegisterStringResource(IDS_APP_TITLE, BLINKORB_TITLE); }
} const registration;

} // namespace
