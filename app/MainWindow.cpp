#include "app/MainWindow.h"

#include "app/DownloadWorker.h"
#include "app/Globals.h"
#include "app/PictureDiscovery.h"
#include "app/Site.h"
#include "app/Strings.h"
#include "app/runtime/Shell.h"
#include "resources/ResourceIds.h"

namespace {

FormDef BuildMainWindowForm() {
    using K = ControlKind;
    FormDef form;
    form.name = "MainWindow";
    form.left = 50;
    form.top = 50;
    form.width = 380;
    form.height = 250;
    form.background = RGB(255, 255, 255);
    form.controls = {
        {.kind = K::EditBox, .name = "编辑框1", .left = 6, .top = 21, .width = 360, .height = 25},
        {.kind = K::Label, .name = "标签2", .left = 6, .top = 0, .width = 362, .height = 20,
         .text = Strings::AddressHintPrefix + SiteDomain + Strings::AddressHintSuffix,
         .backColour = RGB(255, 255, 255)},
        {.kind = K::Label, .name = "标签1", .left = 296, .top = 26, .width = 72, .height = 15,
         .text = Strings::WaitingForAddress, .textColour = RGB(255, 255, 255),
         .backColour = RGB(70, 145, 235)},
        {.kind = K::TabControl, .name = "高级选择夹1", .left = 6, .top = 56, .width = 360, .height = 150,
         .pages = {Strings::HomePage, Strings::DownloadPage}},
        // The folder actually used is SaveFolder; this box only shows the choice.
        {.kind = K::EditBox, .name = "编辑框2", .left = 104, .top = 3, .width = 202, .height = 20,
         .text = Strings::DefaultFolder, .container = "高级选择夹1", .page = 0, .readOnly = true},
        {.kind = K::Button, .name = "按钮1", .left = 312, .top = 3, .width = 48, .height = 20,
         .text = Strings::Browse, .container = "高级选择夹1", .page = 0},
        {.kind = K::Button, .name = "按钮2", .left = 240, .top = 115, .width = 120, .height = 32,
         .text = Strings::StartDownload, .container = "高级选择夹1", .page = 0},
        {.kind = K::ProgressBar, .name = "进度条1", .left = 122, .top = 112, .width = 232, .height = 16,
         .container = "高级选择夹1", .page = 1, .rangeMin = 0, .rangeMax = 100, .position = 50},
        {.kind = K::PictureBox, .name = "图片框3", .left = 16, .top = 57, .width = 90, .height = 112,
         .picture = IDR_DECORATION_PHOTOS},
        {.kind = K::PictureBox, .name = "图片框1", .left = 200, .top = 88, .width = 50, .height = 50,
         .picture = IDR_DECORATION_DOWNLOAD},
        {.kind = K::Label, .name = "标签3", .left = 175, .top = 143, .width = 104, .height = 20,
         .text = Strings::WaitingForData, .backColour = RGB(255, 255, 255)},
        {.kind = K::Label, .name = "标签5", .left = 16, .top = 174, .width = 90, .height = 24,
         .text = Strings::MakerLine, .backColour = RGB(255, 255, 255), .multiline = true},
        {.kind = K::Button, .name = "按钮3", .left = 16, .top = 200, .width = 80, .height = 20,
         .text = Strings::AboutButton},
    };
    return form;
}

}  // namespace

const FormDef& MainWindowForm() {
    static const FormDef form = BuildMainWindowForm();
    return form;
}

std::vector<EventBinding> MainWindowEvents() {
    return {
        {Event::Created, "MainWindow", OnMainWindowCreated},
        {Event::Clicked, "按钮1", OnBrowseClicked},
        {Event::Clicked, "按钮2", OnStartClicked},
        {Event::TextChanged, "编辑框1", OnAddressChanged},
    };
}

void SetStartButtonDisabled(bool flag) { MainWindow["按钮2"].SetDisabled(flag); }

void OnMainWindowCreated() {
    // The window's skin and shadow are applied first, here, once the appearance work lands.
    MainWindow.SetCaption(Strings::ProductName);
    SaveFolder = DesktopDirectory();
    SetStartButtonDisabled(false);
}

void ChooseSaveFolder() {
    Text chosen = ChooseFolder(Strings::ChooseFolderTitle);
    if (chosen.empty()) return;
    MainWindow["编辑框2"].SetText(chosen);
    SaveFolder = chosen;
}

void OnBrowseClicked() { ChooseSaveFolder(); }

void OnStartClicked() {
    // One download at a time: a press while one runs starts nothing more.
    if (DownloadRunning()) return;
    MainWindow["高级选择夹1"].SetCurrentPage(1);
    StartDownload({PictureList, SaveFolder});
}
