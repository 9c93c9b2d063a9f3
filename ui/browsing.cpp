// Folder and file browsing: the folder list leads, the file list follows, and
// play, next and previous start the selected file.
#include "frmVELMYR.h"
#include "platform/controls/file_names.h"
#include "player/Lirovan.h"

void frmVELMYR::Dir1_Change() { File1->setPath(Dir1->Path()); }

void frmVELMYR::File1_DblClick() { PlaySelectedFile(); }

void frmVELMYR::Label5_Click() { PlaySelectedFile(); }

// The double-click and the play label join the folder and the file with "\",
// next and previous with "/": kept as they are on purpose. The media layer
// takes either, and a path that already ends in a separator gets one more.
void frmVELMYR::PlaySelectedFile() {
    if (CaptionIs(Label6, "  play")) Label6->setText(QStringLiteral("  pause"));
    const QString folder = Dir1->Path();
    const QString name = File1->FileName();
    Lirovan::PlayFile(controls::fileNameToPlatform(folder + u'\\' + name));
}

void frmVELMYR::Label8_Click() {
    const short index = File1->ListIndex();
    const short count = File1->ListCount();
    if (index == count - 1) return;
    File1->setListIndex(short(File1->ListIndex() + 1));
    Lirovan::PlayFile(controls::fileNameToPlatform(Dir1->Path() + u'/' + File1->FileName()));
}

void frmVELMYR::Label9_Click() {
    const short index = File1->ListIndex();
    // With nothing selected (-1) there is no previous entry to step to.
    if (index <= 0) return;
    File1->setListIndex(short(File1->ListIndex() - 1));
    Lirovan::PlayFile(controls::fileNameToPlatform(Dir1->Path() + u'/' + File1->FileName()));
}
