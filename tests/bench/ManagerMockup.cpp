// The manager window as the program makes it (the same window class, size, controls, texts,
// manifest and tray icon) that reads nothing: each paint writes fixed values where the refresh
// writes what it found. Start-up is compared with it to tell the window's cost from the reads'.
#include "manager/TorvaMan1.h"

namespace {

class TManagerMockup : public TManagerForm {
public:
    TManagerMockup() : TManagerForm(nullptr, DesignOnly{}) {
        BindMessage(WM_PAINT, [this](TMessage&) {
            PAINTSTRUCT ps;
            BeginPaint(Handle(), &ps);
            EndPaint(Handle(), &ps);
            StatusBar1->SetPanelText("Torva");
            StateTorva(0, "TorvaEA");
            StateExplorer(false);
            SetOKBtn();
            Application().ProcessMessages();
        });
    }
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Application().Initialize();
    TManagerMockup form;
    Application().SetMainForm(&form);
    form.SetForm();
    Application().Run();
    return 0;
}
