// Command texts of the media layer, parsed into values.
#pragma once

#include <string>
#include <string_view>

#include "mci.h"

namespace media {

enum class Verb { Open, Play, Pause, Resume, Stop, Close, CloseAll, SetAudio, Status, InfoFile };
enum class StatusItem { Mode, Position, Length };

struct Command {
    MCIERROR error = MCIERR_NONE;  // not NONE: the text is not a valid command
    Verb verb = Verb::Play;
    std::string alias;    // lower case; device names are not case-sensitive
    std::string element;  // Open: the file, verbatim
    bool audioOn = true;  // SetAudio
    StatusItem item = StatusItem::Mode;
};

// "open <element> type mpegvideo alias <alias>", where the element is
// everything between "open " and the last " type ", blanks included;
// "play|pause|resume|stop|close <alias>"; "close all";
// "set <alias> audio all on|off"; "status <alias> mode|position|length";
// "info <alias> file".
// Keywords are not case-sensitive; blanks between words may be repeated.
Command parseCommand(std::string_view text);

}  // namespace media
