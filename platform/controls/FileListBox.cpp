#include "FileListBox.h"

#include <QDir>
#include <QItemSelectionModel>
#include <QStringListModel>
#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

#include "file_names.h"
#include "list_support.h"
#include "platform/common/ascii.h"

namespace controls {

FileListBox::FileListBox(QWidget* parent) : QListView(parent), model_(new QStringListModel(this)) {
    setModel(model_);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    applyListLook(this, QColor(0x80, 0x80, 0x00), Qt::white);
    acceptLeftButtonOnly(this);
    new MouseMoveRelay(this, [this](short b, short s, float x, float y) { emit MouseMove(b, s, x, y); });
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& entry) {
        if (entry.isValid()) emit DblClick();
    });
    activateOnEnter(this, this);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &FileListBox::SelectionChange);
    path_ = QDir::currentPath();
    installAccessibleFactory();
}

QString FileListBox::Path() const { return path_; }

void FileListBox::setPath(const QString& path) {
    path_ = path;
    refill();
    emit SelectionChange();
}

QString FileListBox::Pattern() const { return pattern_; }

short FileListBox::ListCount() const {
    if (!listed_) refill();
    return static_cast<short>(model_->rowCount());
}

short FileListBox::ListIndex() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? short(-1) : static_cast<short>(selected.first().row());
}

void FileListBox::setListIndex(short index) {
    if (!listed_) refill();
    if (index < 0 || index >= model_->rowCount()) {
        selectionModel()->clearSelection();
        return;
    }
    setCurrentIndex(model_->index(index));
    scrollTo(model_->index(index));
}

void FileListBox::activateEntry(int row) {
    if (row < 0 || row >= ListCount()) return;
    setListIndex(short(row));
    emit DblClick();
}

QString FileListBox::FileName() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QString() : selected.first().data().toString();
}

void FileListBox::showEvent(QShowEvent* event) {
    if (!listed_) refill();
    QListView::showEvent(event);
}

void FileListBox::refill() const {
    listed_ = true;
    QStringList names = matchingFiles(path_, pattern_);
    if (names.size() > MaxEntries) names.resize(MaxEntries);
    model_->setStringList(names);
}

namespace {

// '*' matches any run of characters, '?' any one character; `same` compares
// the others.
template <typename View, typename Same>
bool matchWildcards(View pattern, View name, Same same) {
    qsizetype p = 0, n = 0;
    qsizetype starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || same(pattern[p], name[n]))) {
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

using common::asciiLower;
using common::isAscii;

// The same match as wildcardMatch, for a pattern and a name that are both
// ASCII, without decoding the name.
bool asciiWildcardMatch(QByteArrayView pattern, QByteArrayView name) {
    return matchWildcards(pattern, name, [](char a, char b) { return asciiLower(a) == asciiLower(b); });
}

// The key that orders names without regard to case: the case-folded name, as
// bytes, so that the sort compares plain byte strings.
std::string sortKey(const char* name) {
    std::string key(name);
    if (isAscii(key)) {
        std::transform(key.begin(), key.end(), key.begin(), asciiLower);
        return key;
    }
    return fileNameFromBytes(name).toCaseFolded().toStdString();
}

}  // namespace

bool FileListBox::wildcardMatch(QStringView pattern, QStringView name) {
    return matchWildcards(pattern, name,
                          [](QChar a, QChar b) { return a.toCaseFolded() == b.toCaseFolded(); });
}

QStringList FileListBox::matchingFiles(const QString& folder, const QString& pattern) {
    DIR* dir = ::opendir(fileNameToBytes(folder).constData());
    if (!dir) return {};
    const int dirFd = ::dirfd(dir);
    const QByteArray asciiPattern = pattern.toLatin1();
    const bool patternIsAscii = isAscii(asciiPattern) && QString::fromLatin1(asciiPattern) == pattern;

    struct Found {
        std::string key, name;
    };
    std::vector<Found> found;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.') continue;  // hidden, and the . and .. entries
        const QByteArrayView nameBytes(name);
        const bool matches = patternIsAscii && isAscii(nameBytes)
                                 ? asciiWildcardMatch(asciiPattern, nameBytes)
                                 : wildcardMatch(pattern, fileNameFromBytes(nameBytes));
        if (!matches) continue;
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat info;
            regular = ::fstatat(dirFd, name, &info, 0) == 0 && S_ISREG(info.st_mode);
        }
        if (regular) found.push_back({sortKey(name), name});
    }
    ::closedir(dir);

    // Names equal but for case are ordered by their bytes, so the order never
    // depends on the order the folder was read in.
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        const int byKey = a.key.compare(b.key);
        return byKey != 0 ? byKey < 0 : a.name < b.name;
    });
    QStringList names;
    names.reserve(qsizetype(found.size()));
    for (const Found& f : found) names.append(fileNameFromBytes(f.name));
    return names;
}

}  // namespace controls
