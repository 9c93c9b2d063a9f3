// A file list: names (without folder) of the files in Path matching Pattern
// ("*.mp3"), matched and sorted without regard to case, hidden files left out.
// At most one entry is selected; a single click only selects.
#pragma once

#include <QListView>
#include <QString>

namespace controls {

class FileListBox : public QListView {
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);  // starts at the current folder

    QString Path() const;
    void setPath(const QString& path);  // a folder that cannot be read lists nothing
    QString Pattern() const;
    void setPattern(const QString& pattern);

    short ListCount() const;
    short ListIndex() const;  // -1 when nothing is selected
    void setListIndex(short index);  // selects that entry; -1 clears the selection
    QString FileName() const;  // the selected entry's name, empty when none

signals:
    void DblClick();
    void MouseMove(short Button, short Shift, float X, float Y);
};

}  // namespace controls
