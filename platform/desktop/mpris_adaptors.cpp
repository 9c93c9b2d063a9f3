#include "mpris_adaptors.h"

#include <QDBusConnection>

#include "MediaControls.h"

namespace desktop {

MprisRoot::MprisRoot(MediaControls* controls) : QDBusAbstractAdaptor(controls), controls_(controls) {}

QString MprisRoot::Identity() const { return controls_->player().identity; }
QString MprisRoot::DesktopEntry() const { return controls_->player().desktopEntry; }
void MprisRoot::Raise() { controls_->RaiseRequested(); }
void MprisRoot::Quit() { controls_->QuitRequested(); }

MprisPlayer::MprisPlayer(MediaControls* controls) : QDBusAbstractAdaptor(controls), controls_(controls) {}

QString MprisPlayer::PlaybackStatus() const { return controls_->statusText(); }
QVariantMap MprisPlayer::Metadata() const { return controls_->metadata(); }
qlonglong MprisPlayer::Position() const { return controls_->positionMicroseconds(); }
bool MprisPlayer::CanGoNext() const { return controls_->canGoNext(); }
bool MprisPlayer::CanGoPrevious() const { return controls_->canGoPrevious(); }
void MprisPlayer::PlayPause() { controls_->PlayPauseRequested(); }
void MprisPlayer::Play() { controls_->PlayRequested(); }
void MprisPlayer::Pause() { controls_->PauseRequested(); }
void MprisPlayer::Stop() { controls_->StopRequested(); }
void MprisPlayer::Next() { controls_->NextRequested(); }
void MprisPlayer::Previous() { controls_->PreviousRequested(); }

void MprisPlayer::OpenUri(const QString& uri, const QDBusMessage& message) {
    if (controls_->OpenUriRequested(uri)) return;
    message.setDelayedReply(true);
    QDBusConnection::sessionBus().send(message.createErrorReply(
        QDBusError::InvalidArgs, QStringLiteral("not a file: URI of a folder or an MP3 file: ") + uri));
}

}  // namespace desktop
