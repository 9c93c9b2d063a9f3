// The two MPRIS 2 interfaces of the player's object, as Qt D-Bus adaptors that
// hand every call and property to MediaControls.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>
#include <QVariantMap>

#include "MediaControls.h"

namespace desktop {

class MprisRoot : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
public:
    explicit MprisRoot(MediaControls* controls) : QDBusAbstractAdaptor(controls), controls_(controls) {}

    bool yes() const { return true; }
    bool no() const { return false; }
    QString Identity() const { return controls_->player_.identity; }
    QString DesktopEntry() const { return controls_->player_.desktopEntry; }
    // As the desktop entry declares them.
    QStringList SupportedUriSchemes() const { return {QStringLiteral("file")}; }
    QStringList SupportedMimeTypes() const {
        return {QStringLiteral("audio/mpeg"), QStringLiteral("audio/x-mpeg"), QStringLiteral("audio/mp3")};
    }

public slots:
    void Raise() { emit controls_->Raise(); }
    void Quit() { controls_->QuitRequested(); }

private:
    MediaControls* controls_;
};

class MprisPlayer : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Rate READ one)
    Q_PROPERTY(double MinimumRate READ one)
    Q_PROPERTY(double MaximumRate READ one)
    Q_PROPERTY(double Volume READ one)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(bool CanGoNext READ CanGoNext)
    Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
    Q_PROPERTY(bool CanPlay READ yes)
    Q_PROPERTY(bool CanPause READ yes)
    Q_PROPERTY(bool CanSeek READ no)
    Q_PROPERTY(bool CanControl READ yes)
    using Status = MediaControls::Status;

public:
    explicit MprisPlayer(MediaControls* controls) : QDBusAbstractAdaptor(controls), controls_(controls) {}

    QString PlaybackStatus() const { return controls_->statusText(); }
    QVariantMap Metadata() const { return controls_->metadata_; }
    qlonglong Position() const {
        const MediaControls::Playback now = controls_->playback();
        return now.fileOpen ? now.positionMilliseconds * 1000 : 0;
    }
    bool CanGoNext() const { return controls_->playback().canGoNext; }
    bool CanGoPrevious() const { return controls_->playback().canGoPrevious; }
    double one() const { return 1.0; }
    bool yes() const { return true; }
    bool no() const { return false; }

public slots:
    void PlayPause() { controls_->playOrPause({Status::Stopped, Status::Playing, Status::Paused}); }
    // Play while playing changes nothing, as the desktop expects of it.
    void Play() { controls_->playOrPause({Status::Stopped, Status::Paused}); }
    void Pause() { controls_->playOrPause({Status::Playing}); }
    void Stop() { controls_->emitAndAnnounce(&MediaControls::Stop); }
    void Next() { controls_->emitAndAnnounce(&MediaControls::Next); }
    void Previous() { controls_->emitAndAnnounce(&MediaControls::Previous); }
    // The player cannot seek: accepted, nothing happens.
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath&, qlonglong) {}
    // A URI it cannot open gets an error reply.
    void OpenUri(const QString& uri, const QDBusMessage& message) {
        if (controls_->OpenUriRequested(uri)) return;
        message.setDelayedReply(true);
        QDBusConnection::sessionBus().send(message.createErrorReply(
            QDBusError::InvalidArgs, QStringLiteral("not a file: URI of a folder or an MP3 file: ") + uri));
    }

signals:
    void Seeked(qlonglong Position);

private:
    MediaControls* controls_;
};

}  // namespace desktop
