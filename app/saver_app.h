#pragma once

#include "platform/afx/afx.h"

// The application: refuses to run beside another copy, then shows the saver
// window and lets the framework's loop run until it closes.
class CSaverApp : public CWinApp {
public:
    CSaverApp();
    ~CSaverApp() override;

    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

extern CSaverApp theApp;
