#include "FileListBox.h"

#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QStringListModel>
#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "list_support.h"

namespace controls {

FileListBox::FileListBox(QWidget* parent) : QListView(parent), model_(new QStringListModel(this)) {
    setModel(model_);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    applyListLook(this, QColor(0x80, 0x80, 0x00), Qt::white);
    new MouseMoveRelay(this, [this](short b, short s, float x, float y) { emit MouseMove(b, s, x, y); });
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& entry) {
        if (entry.isValid()) emit DblClick();
    });
    path_ = QDir::currentPath();
    refill();
}

QString FileListBox::Path() const { return path_; }

void FileListBox::setPath(const QString& path) {
    path_ = path;
    refill();
}

QString FileListBox::Pattern() const { return pattern_; }

void FileListBox::setPattern(const QString& pattern) {
    pattern_ = pattern;
    refill();
}

short FileListBox::ListCount() const { return static_cast<short>(model_->rowCount()); }

short FileListBox::ListIndex() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? short(-1) : static_cast<short>(selected.first().row());
}

void FileListBox::setListIndex(short index) {
    if (index < 0 || index >= model_->rowCount()) {
        selectionModel()->clearSelection();
        return;
    }
    setCurrentIndex(model_->index(index));
    scrollTo(model_->index(index));
}

QString FileListBox::FileName() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QString() : selected.first().data().toString();
}

void FileListBox::refill() {
    QStringList names = matchingFiles(path_, pattern_);
    if (names.size() > MaxEntries) names.resize(MaxEntries);
    model_->setStringList(names);
}

bool FileListBox::wildcardMatch(QStringView pattern, QStringView name) {
    qsizetype p = 0, n = 0;
    qsizetype starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == u'?' || pattern[p].toCaseFolded() == name[n].toCaseFolded())) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

QStringList FileListBox::matchingFiles(const QString& folder, const QString& pattern) {
    const QByteArray encodedFolder = QFile::encodeName(folder);
    DIR* dir = ::opendir(encodedFolder.constData());
    if (!dir) return {};
    const int dirFd = ::dirfd(dir);

    // Sorted by a case-folded key so that the sort compares plain strings.
    std::vector<std::pair<QString, QString>> found;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') continue;  // hidden, and the . and .. entries
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat info;
            regular = ::fstatat(dirFd, entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
        }
        if (!regular) continue;
        QString name = QFile::decodeName(entry->d_name);
        if (!wildcardMatch(pattern, name)) continue;
        QString key = name.toCaseFolded();
        found.emplace_back(std::move(key), std::move(name));
    }
    ::closedir(dir);

    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        const int byKey = QString::compare(a.first, b.first, Qt::CaseSensitive);
        return byKey != 0 ? byKey < 0 : a.second < b.second;
    });
    QStringList names;
    names.reserve(qsizetype(found.size()));
    for (auto& [key, name] : found) names.append(std::move(name));
    return names;
}

}  // namespace controls
