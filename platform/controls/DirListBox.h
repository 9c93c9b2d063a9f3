// A folder list: the folder tree of its path (ancestors from the root down,
// the folder itself, then its subfolders, indented). A double-click of the left
// button opens the entry, and so does Enter on the entry with the keyboard cursor.
#pragma once

#include <QIcon>
#include <QListWidget>
#include <QString>

#include "accessible_controls.h"

namespace controls {

class DirListBox : public QListWidget, public ActivatableList {
    Q_OBJECT
public:
    // Starts at the current folder; its tree is read when the list is first
    // shown, and not at all when a path is set before that.
    explicit DirListBox(QWidget* parent = nullptr);

    QString Path() const;
    // Shows the tree of path and raises Change when it differs from Path().
    // A relative path is taken from the current folder. A folder that does not
    // exist, is not a folder or cannot be listed is refused: Path stays.
    void setPath(const QString& path);

    // The folder an entry stands for, and how deep it sits in the tree.
    static constexpr int PathRole = Qt::UserRole;
    static constexpr int LevelRole = Qt::UserRole + 1;

    void activateEntry(int row) override;

signals:
    void Change();
    void MouseMove(short Button, short Shift, float X, float Y);

protected:
    void showEvent(QShowEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void showTree();

    QIcon openFolder_, closedFolder_;
    QString path_;
    bool treeShown_ = false;
};

}  // namespace controls
