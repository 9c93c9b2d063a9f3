// A file list: the files of Path that matchingFiles finds for Pattern ("*.mp3").
// At most one entry is selected; a single click of the left button only
// selects, its double-click raises DblClick; the other buttons do neither.
// Enter on the entry with the keyboard cursor selects it and raises DblClick.
#pragma once

#include <QListView>
#include <QString>
#include <QStringList>

#include "accessible_controls.h"

class QStringListModel;

namespace controls {

class FileListBox : public QListView, public ActivatableList {
    Q_OBJECT
public:
    // Starts at the current folder, read when the list is first shown or
    // counted, and not at all when a path is set before that.
    explicit FileListBox(QWidget* parent = nullptr);

    // The list never holds more entries than a 16-bit count can report.
    static constexpr int MaxEntries = 32767;

    QString Path() const;
    void setPath(const QString& path);  // reads the folder anew; one that cannot be read lists nothing
    QString Pattern() const;            // "*.mp3"

    short ListCount() const;
    short ListIndex() const;         // -1 when nothing is selected
    void setListIndex(short index);  // selects that entry; -1 clears the selection
    QString FileName() const;        // the selected entry's name, empty when none

    void activateEntry(int row) override;

    // The names of the regular, not hidden files of folder matching pattern
    // ('*' and '?' wildcards, without regard to case), sorted without regard
    // to case. Empty when the folder cannot be read.
    static QStringList matchingFiles(const QString& folder, const QString& pattern);
    static bool wildcardMatch(QStringView pattern, QStringView name);

signals:
    void DblClick();
    // The selected entry may have changed: selected by the user or from code,
    // or the list read anew by setPath.
    void SelectionChange();
    void MouseMove(short Button, short Shift, float X, float Y);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refill() const;

    QStringListModel* model_;
    QString path_;
    mutable bool listed_ = false;
    const QString pattern_ = QStringLiteral("*.mp3");
};

}  // namespace controls
