// The desktop's player controls: what they are told of the player, and what
// they ask of it. What plays comes from the player module, the list's ends
// from the file list, as the next and previous labels read them.
#include "frmVELMYR.h"
#include "platform/desktop/MediaControls.h"
#include "player/Lirovan.h"

void frmVELMYR::createDesktopControls(const Options::BusNames& names) {
    using desktop::MediaControls;
    MediaControls::Player player;
    player.identity = windowTitle();
    player.desktopEntry = QStringLiteral("velmyr");
    player.busName = names.busName;
    player.trackIdPrefix = names.trackIdPrefix;
    player.playback = [this] {
        const Lirovan::Track track = Lirovan::NowPlaying();
        MediaControls::Playback now;
        now.fileOpen = track.open;
        if (track.mode == "playing") now.status = MediaControls::Status::Playing;
        if (track.mode == "paused") now.status = MediaControls::Status::Paused;
        now.file = QByteArray::fromStdString(track.file);
        now.positionMilliseconds = track.positionMilliseconds;
        now.lengthMilliseconds = track.lengthMilliseconds;
        const short index = File1->ListIndex();
        now.canGoNext = index != File1->ListCount() - 1;
        now.canGoPrevious = index > 0;
        return now;
    };
    player.setEndListener = Lirovan::OnTrackEnd;
    Desktop = new MediaControls(std::move(player), this);
}
