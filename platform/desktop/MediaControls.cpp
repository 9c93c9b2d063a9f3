#include "MediaControls.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <unistd.h>

#include "mpris_adaptors.h"
#include "platform/media/mci.h"
#include "platform/media/media_layer.h"

namespace desktop {

namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kBusName = QStringLiteral("org.mpris.MediaPlayer2.velmyr");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
// The alias the player module opens every file under.
constexpr char kAlias[] = "lirovan";
// How long a quit waits for the bus to carry its reply away.
constexpr int kQuitReplyMs = 500;

// A session bus is named, or sits where the bus library looks first. Without
// either the library would try to start one (autolaunch): not for us.
bool sessionBusNamed() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

// The media layer's answer to "status lirovan <item>"; false when no file is
// open under the alias.
bool askStatus(const char* item, QByteArray& answer) {
    char reply[64] = "";
    const QByteArray command = QByteArray("status ") + kAlias + ' ' + item;
    if (mciSendStringA(command.constData(), reply, sizeof reply, nullptr) != MCIERR_NONE) return false;
    answer = QByteArray(reply);
    return true;
}

}  // namespace

MediaControls::MediaControls(Player player, QObject* parent) : QObject(parent), player_(std::move(player)) {}

MediaControls::~MediaControls() {
    if (onBus_) media::setEndListener({});
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
    media::setEndListener([self](const std::string& alias) {
        QCoreApplication* app = QCoreApplication::instance();
        if (alias != kAlias || !app) return;
        QMetaObject::invokeMethod(
            app,
            [self] {
                if (self) self->playbackMayHaveChanged();
            },
            Qt::QueuedConnection);
    });
    readPlayback(false);
    takeName(kBusName, true);
}

// The well-known name; a second copy of the player takes one of its own.
void MediaControls::takeName(const QString& name, bool orInstanceName) {
    QDBusMessage request = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
    constexpr uint kDoNotQueue = 4, kPrimaryOwner = 1;
    request << name << kDoNotQueue;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(request), this);
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

void MediaControls::readPlayback(bool takeSelectedFile) {
    QByteArray mode;
    const bool open = askStatus("mode", mode);
    Status status = Status::Stopped;
    if (mode == "playing") status = Status::Playing;
    if (mode == "paused") status = Status::Paused;

    QVariantMap metadata = open ? metadata_ : QVariantMap{};
    if (takeSelectedFile && status != Status::Stopped && player_.selectedFile) {
        const QString path = player_.selectedFile();
        metadata = {
            {QStringLiteral("mpris:trackid"),
             QVariant::fromValue(
                 QDBusObjectPath(QStringLiteral("/org/velmyr/track/%1").arg(++tracksStarted_)))},
            {QStringLiteral("xesam:title"), QFileInfo(path).fileName()},
            {QStringLiteral("xesam:url"), QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)},
        };
    }

    QVariantMap changed;
    if (status != status_) {
        status_ = status;
        changed.insert(QStringLiteral("PlaybackStatus"), statusText());
    }
    if (metadata != metadata_) {
        metadata_ = metadata;
        changed.insert(QStringLiteral("Metadata"), metadata_);
    }
    if (!changed.isEmpty()) announce(changed);
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

qint64 MediaControls::positionMicroseconds() const {
    QByteArray milliseconds;
    return askStatus("position", milliseconds) ? milliseconds.toLongLong() * 1000 : 0;
}

void MediaControls::PlayPauseRequested() {
    readPlayback(false);
    if (status_ == Status::Stopped) {
        emit PlaySelected();
        readPlayback(true);
    } else {
        emit PauseOrResume();
        readPlayback(false);
    }
}

// Play while playing changes nothing, as the desktop expects of it.
void MediaControls::PlayRequested() {
    readPlayback(false);
    if (status_ == Status::Paused) {
        emit PauseOrResume();
        readPlayback(false);
    } else if (status_ == Status::Stopped) {
        emit PlaySelected();
        readPlayback(true);
    }
}

void MediaControls::PauseRequested() {
    readPlayback(false);
    if (status_ != Status::Playing) return;
    emit PauseOrResume();
    readPlayback(false);
}

void MediaControls::StopRequested() {
    emit Stop();
    readPlayback(false);
}

void MediaControls::NextRequested() {
    emit Next();
    readPlayback(true);
}

void MediaControls::PreviousRequested() {
    emit Previous();
    readPlayback(true);
}

void MediaControls::RaiseRequested() { emit Raise(); }

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

}  // namespace desktop
