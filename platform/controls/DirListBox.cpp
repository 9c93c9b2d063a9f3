#include "DirListBox.h"

#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
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

// A 12x12 folder glyph, open or closed. Drawn here: the style's folder icons
// are looked up in the icon theme and decoded from image files, which costs
// the program's start more than the rest of the list.
QIcon folderGlyph(bool open) {
    QPixmap glyph(12, 12);
    glyph.fill(Qt::transparent);
    QPainter painter(&glyph);
    painter.setPen(QColor(0x20, 0x60, 0xC0));
    painter.setBrush(QColor(0xA0, 0xC8, 0xF0));
    painter.drawRect(0, 1, 5, 2);   // the tab
    painter.drawRect(0, 3, 11, 8);  // the body
    painter.fillRect(1, 4, 10, 2, Qt::white);
    if (open) {
        painter.setBrush(QColor(0xD0, 0xE4, 0xF8));
        painter.drawPolygon(QPolygon({QPoint(2, 6), QPoint(11, 6), QPoint(9, 11), QPoint(0, 11)}));
    }
    return QIcon(glyph);
}

bool canOpen(const QFileInfo& folder) {
    return folder.isDir() && folder.isReadable() && folder.isExecutable();
}

}  // namespace

DirListBox::DirListBox(QWidget* parent)
    : QListWidget(parent), openFolder_(folderGlyph(true)), closedFolder_(folderGlyph(false)) {
    setItemDelegate(new TreeIndentDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setIconSize(QSize(12, 12));
    applyListLook(this, QColor(0x80, 0x80, 0x80), Qt::black);
    acceptLeftButtonOnly(this);
    new MouseMoveRelay(this, [this](short b, short s, float x, float y) { emit MouseMove(b, s, x, y); });
    activateOnEnter(this, this);
    path_ = QDir::currentPath();
    installAccessibleFactory();
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

void DirListBox::showEvent(QShowEvent* event) {
    if (!treeShown_) showTree();
    QListWidget::showEvent(event);
}

void DirListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    QListWidget::mouseDoubleClickEvent(event);
    if (QListWidgetItem* entry = itemAt(event->position().toPoint()))
        setPath(entry->data(PathRole).toString());
}

void DirListBox::activateEntry(int row) {
    QListWidgetItem* entry = item(row);
    if (!entry) return;
    setCurrentItem(entry);
    setPath(entry->data(PathRole).toString());
}

void DirListBox::showTree() {
    treeShown_ = true;
    clear();
    auto addEntry = [this](const QIcon& icon, const QString& name, const QString& path, int level) {
        auto* entry = new QListWidgetItem(icon, name, this);
        entry->setData(PathRole, path);
        entry->setData(LevelRole, level);
        return entry;
    };

    const QString folder = QDir::cleanPath(path_);
    const QStringList parts = folder.split(u'/', Qt::SkipEmptyParts);
    QString ancestor = QStringLiteral("/");
    QListWidgetItem* current = addEntry(openFolder_, ancestor, ancestor, 0);
    int level = 0;
    for (const QString& part : parts) {
        ancestor = QDir(ancestor).filePath(part);
        current = addEntry(openFolder_, part, ancestor, ++level);
    }
    // A folder that vanished or cannot be listed shows its ancestors only.
    const QStringList subfolders =
        QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : subfolders)
        addEntry(closedFolder_, name, QDir(folder).filePath(name), level + 1);
    scrollToItem(current, QAbstractItemView::PositionAtTop);
}

}  // namespace controls
