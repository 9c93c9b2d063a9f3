// The player as the desktop's media keys, media widget and playerctl see it:
// two MPRIS 2 objects on the session bus. A request from the bus is raised as
// the event of the label that would do the same, so the window's handlers and
// captions stay the only record of pause and mute. What plays is read from
// the media layer, not kept here.
#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>

namespace desktop {

class MediaControls : public QObject {
    Q_OBJECT
public:
    struct Player {
        QString identity;      // the name shown for the player: the window's title
        QString desktopEntry;  // the desktop file's name, without ".desktop"
        // The full path of the file that a start plays: the selected file.
        std::function<QString()> selectedFile;
    };

    explicit MediaControls(Player player, QObject* parent = nullptr);
    ~MediaControls() override;

    // Goes on the session bus from the event loop's next turn, once; the
    // connection is made on a thread of its own, so a bus that does not answer
    // holds up nothing. Without a session bus it does nothing at all.
    void publish();

    // After an event that may have started a file, or changed what plays.
    // Both do nothing until the player is on the bus.
    void fileMayHaveStarted();
    void playbackMayHaveChanged();

    // The requests of the bus, turned into the window's events (below) by what
    // plays. Public for the bus's adaptors.
    void PlayPauseRequested();
    void PlayRequested();
    void PauseRequested();
    void StopRequested();
    void NextRequested();
    void PreviousRequested();
    void RaiseRequested();
    void QuitRequested();

    enum class Status { Stopped, Playing, Paused };
    Status status() const { return status_; }
    QString statusText() const;
    QVariantMap metadata() const { return metadata_; }
    qint64 positionMicroseconds() const;
    const Player& player() const { return player_; }

signals:
    // As a click on the pause label: pause, or resume when paused.
    void PauseOrResume();
    // As a click on the play label: the selected file from its start.
    void PlaySelected();
    void Stop();
    void Next();
    void Previous();
    // The window shown normal and on top.
    void Raise();
    // The window unloads, as the close label makes it.
    void Quit();

private:
    void goOnBus();
    void takeName(const QString& name, bool orInstanceName);
    void readPlayback(bool takeSelectedFile);
    void announce(const QVariantMap& changed);

    Player player_;
    bool publishing_ = false;
    bool onBus_ = false;
    Status status_ = Status::Stopped;
    QVariantMap metadata_;
    int tracksStarted_ = 0;  // numbers the track ids
};

}  // namespace desktop
