// The manager window as the program makes it (the same window class, size, controls, texts,
// manifest and tray icon) that reads nothing: no FormCreate, and each refresh writes fixed values
// where the program's writes what it found. Start-up is compared with it to tell the window's
// cost from the reads'.
#include "manager/TorvaMan1.h"

namespace {

class TManagerMockup : public TManagerForm {
public:
    TManagerMockup() : TManagerForm(nullptr, DesignOnly{}) {}
    void FormShow() override {
        StatusBar1->SetPanelText("Torva");
        StateTorva(0, "TorvaEA");
        StateExplorer(false);
        SetOKBtn();
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
