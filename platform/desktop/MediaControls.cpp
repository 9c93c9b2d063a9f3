#include "MediaControls.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <future>
#include <thread>

#include <unistd.h>

#include "file_uri.h"
#include "mpris_adaptors.h"

namespace desktop {

namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
// How long a quit waits for the bus to carry its reply away.
constexpr int kQuitReplyMs = 500;

// A session bus is named, or sits where the bus library looks first. Without
// either the library would try to start one (autolaunch): not for us.
bool sessionBusNamed() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

QString titleOf(const QByteArray& path) { return QFile::decodeName(path.mid(path.lastIndexOf('/') + 1)); }

}  // namespace

MediaControls::MediaControls(Player player, QObject* parent) : QObject(parent), player_(std::move(player)) {}

MediaControls::~MediaControls() {
    if (onBus_ && player_.setEndListener) player_.setEndListener({});
}

void MediaControls::publish() {
    if (publishing_ || !sessionBusNamed()) return;
    publishing_ = true;
    QTimer::singleShot(0, this, [this] {
        // Connecting waits for the bus's hello: a bus that is stopped would
        // hold the window for the library's whole timeout.
        QThread* connecting = QThread::create([] { QDBusConnection::sessionBus(); });
        connect(connecting, &QThread::finished, this, &MediaControls::goOnBus);
        connect(connecting, &QThread::finished, connecting, &QObject::deleteLater);
        connecting->start();
    });
}

void MediaControls::goOnBus() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    new MprisRoot(this);
    new MprisPlayer(this);
    if (!bus.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors)) return;
    onBus_ = true;
    // A file that ends by itself is heard of on its playback thread; the news
    // crosses to this thread, and is dropped if this object has gone.
    QPointer<MediaControls> self(this);
    if (player_.setEndListener)
        player_.setEndListener([self] {
            QCoreApplication* app = QCoreApplication::instance();
            if (!app) return;
            QMetaObject::invokeMethod(
                app,
                [self] {
                    if (self) self->playbackMayHaveChanged();
                },
                Qt::QueuedConnection);
        });
    readPlayback(false);
    takeName(player_.busName, true);
}

// The well-known name; a second copy of the player takes one of its own.
void MediaControls::takeName(const QString& name, bool orInstanceName) {
    constexpr uint kDoNotQueue = 4, kPrimaryOwner = 1;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().interface()->asyncCall(
                                                    QStringLiteral("RequestName"), name, kDoNotQueue),
                                                this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, name, orInstanceName](auto* call) {
        const QDBusPendingReply<uint> reply = *call;
        call->deleteLater();
        const bool taken = !reply.isError() && reply.value() == kPrimaryOwner;
        if (!taken && orInstanceName)
            takeName(name + QStringLiteral(".instance") + QString::number(::getpid()), false);
    });
}

void MediaControls::fileMayHaveStarted() {
    if (onBus_) readPlayback(true);
}

void MediaControls::playbackMayHaveChanged() {
    if (onBus_) readPlayback(false);
}

// A new track is announced for another file, or for a start that began the
// same file again; a step that left the file playing announces nothing.
void MediaControls::readPlayback(bool mayHaveStarted) {
    const Playback now = playback();
    const Status status = now.fileOpen ? now.status : Status::Stopped;
    const qint64 position = now.fileOpen ? now.positionMilliseconds : 0;
    const QString url = QString::fromLatin1(fileUriFromPath(now.file.toStdString()));

    QVariantMap metadata = now.fileOpen ? metadata_ : QVariantMap{};
    const bool startedAgain = mayHaveStarted && position < lastPosition_;
    if (now.fileOpen && (url != metadata_.value(QStringLiteral("xesam:url")).toString() || startedAgain)) {
        metadata = {
            {QStringLiteral("mpris:trackid"),
             QVariant::fromValue(QDBusObjectPath(player_.trackIdPrefix + QString::number(++tracksStarted_)))},
            {QStringLiteral("xesam:title"), titleOf(now.file)},
            {QStringLiteral("xesam:url"), url},
        };
    }
    if (now.fileOpen && now.lengthMilliseconds > 0)
        metadata.insert(QStringLiteral("mpris:length"), now.lengthMilliseconds * 1000);
    lastPosition_ = position;

    QVariantMap changed;
    if (status != status_) {
        status_ = status;
        changed.insert(QStringLiteral("PlaybackStatus"), statusText());
    }
    if (metadata != metadata_) {
        metadata_ = metadata;
        changed.insert(QStringLiteral("Metadata"), metadata_);
    }
    if (now.canGoNext != canGoNext_) changed.insert(QStringLiteral("CanGoNext"), canGoNext_ = now.canGoNext);
    if (now.canGoPrevious != canGoPrevious_)
        changed.insert(QStringLiteral("CanGoPrevious"), canGoPrevious_ = now.canGoPrevious);
    if (!changed.isEmpty()) announce(changed);
}

// The play/pause key's step, taken only from the statuses given: the play
// label's event when stopped, else the pause label's.
void MediaControls::playOrPause(std::initializer_list<Status> from) {
    readPlayback(false);
    if (std::ranges::find(from, status_) == from.end()) return;
    emitAndAnnounce(status_ == Status::Stopped ? &MediaControls::PlaySelected
                                               : &MediaControls::PauseOrResume);
}

// The label's event, then what it changed: a pause, a resume or a stop starts
// no file.
void MediaControls::emitAndAnnounce(void (MediaControls::*event)()) {
    emit(this->*event)();
    readPlayback(event != &MediaControls::PauseOrResume && event != &MediaControls::Stop);
}

void MediaControls::announce(const QVariantMap& changed) {
    QDBusMessage signal = QDBusMessage::createSignal(
        kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

QString MediaControls::statusText() const {
    switch (status_) {
    case Status::Playing: return QStringLiteral("Playing");
    case Status::Paused: return QStringLiteral("Paused");
    case Status::Stopped: break;
    }
    return QStringLiteral("Stopped");
}

// The caller has its answer before the open, which reads folders and the
// file's header: a copy that starts with a file waits for the answer only so
// long, and would open a window of its own.
bool MediaControls::OpenUriRequested(const QString& uri) {
    const auto path = pathFromFileUri(uri.toStdString());
    if (!path || !isFolderOrMp3(*path)) return false;
    QMetaObject::invokeMethod(
        this,
        [this, file = QByteArray::fromStdString(*path)] {
            emit Raise();
            emit Open(file);
            readPlayback(true);
        },
        Qt::QueuedConnection);
    return true;
}

// The window's unload ends the program at once, so the caller has its reply
// first: it goes out as this call returns. A ping sent after it comes back
// once the reply has left, or the ping's timeout says the bus is not listening.
void MediaControls::QuitRequested() {
    QTimer::singleShot(0, this, [this] {
        const QDBusMessage ping = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
        auto* watcher =
            new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(ping, kQuitReplyMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](auto* call) {
            call->deleteLater();
            emit Quit();
        });
    });
}

bool handToRunningCopy(const QString& busName, const std::string& path, std::chrono::milliseconds limit) {
    if (!sessionBusNamed()) return false;
    // Connecting and calling happen on a thread of their own, which is left
    // behind if the bus or the copy does not answer in time. Each is given the
    // limit: a slow connection leaves the copy no less time to answer.
    std::promise<bool> connected, handed;
    std::future<bool> connecting = connected.get_future(), handing = handed.get_future();
    const QString uri = QString::fromLatin1(fileUriFromPath(path));
    std::thread([connected = std::move(connected), handed = std::move(handed), busName, uri,
                 limit]() mutable {
        // The bus's objects are gone before the outcome is told: the program
        // may end as soon as it is.
        handed.set_value([&] {
            QDBusConnection bus = QDBusConnection::sessionBus();
            connected.set_value(bus.isConnected());
            if (!bus.isConnected()) return false;
            QDBusMessage call = QDBusMessage::createMethodCall(busName, kObjectPath, kPlayerInterface,
                                                               QStringLiteral("OpenUri"));
            call << uri;
            call.setAutoStartService(false);
            return bus.call(call, QDBus::Block, int(limit.count())).type() == QDBusMessage::ReplyMessage;
        }());
    }).detach();
    return connecting.wait_for(limit) == std::future_status::ready && connecting.get() &&
           handing.wait_for(limit) == std::future_status::ready && handing.get();
}

}  // namespace desktop
