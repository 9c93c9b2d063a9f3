#include "DirListBox.h"

#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <QStyle>
#include <QStyledItemDelegate>

#include "list_support.h"

namespace controls {

namespace {

constexpr int IndentPixels = 8;

// Shifts each entry right by its depth in the tree.
class TreeIndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem shifted = option;
        shifted.rect.setLeft(option.rect.left() + indent(index));
        QStyledItemDelegate::paint(painter, shifted, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(index), 0);
    }

private:
    static int indent(const QModelIndex& index) {
        return index.data(DirListBox::LevelRole).toInt() * IndentPixels;
    }
};

bool canOpen(const QFileInfo& folder) {
    return folder.isDir() && folder.isReadable() && folder.isExecutable();
}

}  // namespace

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new TreeIndentDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setIconSize(QSize(12, 12));
    applyListLook(this, QColor(0x80, 0x80, 0x80), Qt::black);
    new MouseMoveRelay(this, [this](short b, short s, float x, float y) { emit MouseMove(b, s, x, y); });
    path_ = QDir::currentPath();
    showTree();
}

QString DirListBox::Path() const { return path_; }

void DirListBox::setPath(const QString& path) {
    if (path.isEmpty()) return;
    const QString absolute = QDir::isAbsolutePath(path) ? path : QDir::current().absoluteFilePath(path);
    if (!canOpen(QFileInfo(absolute))) return;
    const bool changed = absolute != path_;
    path_ = absolute;
    showTree();
    if (changed) emit Change();
}

void DirListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() != Qt::LeftButton) return;
    if (QListWidgetItem* entry = itemAt(event->position().toPoint()))
        setPath(entry->data(PathRole).toString());
}

void DirListBox::showTree() {
    clear();
    const QIcon openFolder = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedFolder = style()->standardIcon(QStyle::SP_DirIcon);
    auto addEntry = [this](const QIcon& icon, const QString& name, const QString& path, int level) {
        auto* entry = new QListWidgetItem(icon, name, this);
        entry->setData(PathRole, path);
        entry->setData(LevelRole, level);
        return entry;
    };

    const QString folder = QDir::cleanPath(path_);
    const QStringList parts = folder.split(u'/', Qt::SkipEmptyParts);
    QString ancestor = QStringLiteral("/");
    QListWidgetItem* current = addEntry(openFolder, ancestor, ancestor, 0);
    int level = 0;
    for (const QString& part : parts) {
        ancestor = QDir(ancestor).filePath(part);
        current = addEntry(openFolder, part, ancestor, ++level);
    }
    // A folder that vanished or cannot be listed shows its ancestors only.
    const QStringList subfolders = QDir(folder).entryList(
        QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : subfolders)
        addEntry(closedFolder, name, QDir(folder).filePath(name), level + 1);
    scrollToItem(current, QAbstractItemView::PositionAtTop);
}

}  // namespace controls
