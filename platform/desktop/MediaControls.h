// The player as the desktop's media keys, media widget and playerctl see it:
// two MPRIS 2 objects on the session bus. A request from the bus is raised as
// the event of the label that would do the same, so the window's handlers and
// captions stay the only record of pause and mute. What plays is asked of the
// window at every request, not kept here.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>

namespace desktop {

class MediaControls : public QObject {
    Q_OBJECT
public:
    enum class Status { Stopped, Playing, Paused };

    // What plays, and where the list stands, as the window answers it.
    struct Playback {
        bool fileOpen = false;  // false: nothing to report, whatever the rest says
        Status status = Status::Stopped;
        QByteArray file;  // the file heard, as the file system names it
        qint64 positionMilliseconds = 0;
        qint64 lengthMilliseconds = 0;
        bool canGoNext = false;
        bool canGoPrevious = false;
    };

    struct Player {
        QString identity;       // the name shown for the player: the window's title
        QString desktopEntry;   // the desktop file's name, without ".desktop"
        QString busName;        // the well-known name on the session bus
        QString trackIdPrefix;  // an object path; track ids go below it
        std::function<Playback()> playback;
        // Sets (or, given nothing, drops) what is called when a file has played
        // to its end by itself, on any thread.
        std::function<void(std::function<void()>)> setEndListener;
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

    // False, with nothing changed, unless `uri` is a "file:" URI of a folder or
    // an MP3 file; else true at once, and Raise and Open follow from the event
    // loop.
    bool OpenUriRequested(const QString& uri);

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
    // A folder or an MP3 file to open, as the file system names it.
    void Open(const QByteArray& path);

private:
    friend class MprisRoot;
    friend class MprisPlayer;

    void goOnBus();
    void takeName(const QString& name, bool orInstanceName);
    Playback playback() const { return player_.playback ? player_.playback() : Playback{}; }
    void readPlayback(bool mayHaveStarted);
    void playOrPause(std::initializer_list<Status> from);
    void emitAndAnnounce(void (MediaControls::*event)());
    void announce(const QVariantMap& changed);
    QString statusText() const;
    void QuitRequested();

    Player player_;
    bool publishing_ = false;
    bool onBus_ = false;
    Status status_ = Status::Stopped;
    QVariantMap metadata_;
    int tracksStarted_ = 0;  // numbers the track ids
    qint64 lastPosition_ = 0;
    bool canGoNext_ = false;
    bool canGoPrevious_ = false;
};

// Hands a folder or file to the copy of the player that owns `busName`, which
// opens it as its OpenUri does. False when there is no session bus, no such
// copy, no connection to the bus within `limit`, or no answer within `limit`
// of the call: the caller then starts on its own.
bool handToRunningCopy(const QString& busName, const std::string& path, std::chrono::milliseconds limit);

}  // namespace desktop
