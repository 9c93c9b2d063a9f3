// Start and end of the program: the remembered folder is restored at load and
// written back at unload, which also stops playback and ends the program.
#include "frmVELMYR.h"
#include "platform/controls/file_names.h"
#include "player/Lirovan.h"

void frmVELMYR::Form_Load() {
    const std::string settings = controls::fileNameToPlatform(SettingsFile());
    const std::string folder = Lirovan::ReadSetting("velmyr", "path", settings);
    if (!folder.empty()) Dir1->setPath(controls::fileNameFromPlatform(folder));
    RefreshStatusLine(Wording::Long);
}

void frmVELMYR::Form_Unload(short&) {
    const std::string folder = controls::fileNameToPlatform(Dir1->Path());
    const std::string settings = controls::fileNameToPlatform(SettingsFile());
    Lirovan::WriteSetting("velmyr", "path", folder, settings);
    Lirovan::StopAll();
    options_.endProgram();
}
