// Folder and file browsing: the folder list leads, the file list follows, and
// play, next and previous start the selected file.
#include <QAbstractItemModel>

#include "frmVELMYR.h"
#include "platform/controls/file_names.h"
#include "player/Lirovan.h"

void frmVELMYR::Dir1_Change() { File1->setPath(Dir1->Path()); }

void frmVELMYR::File1_DblClick() { PlaySelectedFile(); }

void frmVELMYR::Label5_Click() { PlaySelectedFile(); }

// Whoever gives the path has made sure that it is a folder or an MP3 file. A
// folder that the folder list takes, or a path that does not end in ".mp3",
// stays a folder; a file's folder is opened and the file played as a
// double-click on it plays it: it is looked for in its folder's list, read
// again if the file is newer than the list. A file that is not listed (hidden,
// or gone since) plays nothing, and in the folder already shown the selection
// stays: pause, stop, next and previous go on acting on the file that plays.
void frmVELMYR::OpenPath(const QByteArray& path) {
    const QString before = Dir1->Path();
    Dir1->setPath(controls::fileNameFromBytes(path));
    const qsizetype slash = path.lastIndexOf('/');
    const QString name = controls::fileNameFromBytes(path.mid(slash + 1));
    if (Dir1->Path() != before || !name.endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive)) return;
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
    Dir1->setPath(controls::fileNameFromBytes(folder));
    const QString selected = File1->FileName();
    for (bool reread : {false, true}) {
        if (reread) File1->setPath(Dir1->Path());
        if (SelectFile(name)) {
            File1_DblClick();
            return;
        }
    }
    SelectFile(selected);
}

bool frmVELMYR::SelectFile(const QString& name) {
    for (short index = 0; index < File1->ListCount(); ++index) {
        if (File1->model()->index(index, 0).data().toString() != name) continue;
        File1->setListIndex(index);
        return true;
    }
    return false;
}

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
    if (index == File1->ListCount() - 1) return;
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
