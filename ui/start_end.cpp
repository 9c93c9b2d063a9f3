// Start and end of the program: the remembered folder is restored at load and
// written back at unload, which also stops playback and ends the program.
#include <QDir>

#include "frmVELMYR.h"
#include "platform/controls/file_names.h"
#include "platform/profile/settings_file.h"
#include "player/Lirovan.h"

QString frmVELMYR::SettingsFile() const {
    const QString besideProgram = options_.programFolder + QStringLiteral("/velmyr.ini");
    return controls::fileNameFromPlatform(
        profile::settingsFileLocation(controls::fileNameToPlatform(besideProgram), "velmyr"));
}

void frmVELMYR::Form_Load() {
    const std::string settings = controls::fileNameToPlatform(SettingsFile());
    const std::string folder = Lirovan::ReadSetting("velmyr", "path", settings);
    if (!folder.empty()) Dir1->setPath(controls::fileNameFromPlatform(folder));
    RefreshStatusLine(Wording::Long);
}

void frmVELMYR::Form_Unload(short&) {
    const std::string folder = controls::fileNameToPlatform(Dir1->Path());
    const std::string settings = controls::fileNameToPlatform(SettingsFile());
    profile::makeFolderFor(settings);  // the user's configuration folder may not exist yet
    Lirovan::WriteSetting("velmyr", "path", folder, settings);
    Lirovan::StopAll();
    options_.endProgram();
}
