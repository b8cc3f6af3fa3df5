#pragma once

// Identifiers and texts shared by the resource script (blinkorb.rc, for
// Windows) and by strings.cpp (for our window system), so both builds name
// the same resources. Only preprocessor definitions: the resource compiler
// reads this file too.

// The framework loads the application title under this id at start-up.
#define IDS_APP_TITLE 57344

#define IDR_MAINFRAME 128

#define BLINKORB_TITLE "Blinkorb"
