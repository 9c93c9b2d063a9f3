// The player's one window: a frameless window with a black title strip, a
// folder list, the folder's MP3 files, a row of labels acting as buttons and
// a status line. It keeps its state in its controls and reads it afresh at
// every event.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>
#include <functional>
#include <optional>

#include "platform/controls/DirListBox.h"
#include "platform/controls/EventLabel.h"
#include "platform/controls/FileListBox.h"
#include "platform/controls/FormWindow.h"
#include "platform/controls/LineShape.h"

namespace desktop {
class MediaControls;
}

class frmVELMYR : public controls::FormWindow {
    Q_OBJECT
public:
    struct Options {
        // Folder of the settings file; empty: the program's own folder.
        QString programFolder;
        // Ends the program once the window has unloaded (app/ gives the real
        // end); empty: the event loop ends.
        std::function<void()> endProgram;
        // Answer the desktop's media keys and player controls on the session
        // bus under these names (the program does; tests of the window need
        // not): the well-known bus name, and the object path below which the
        // track ids go.
        struct BusNames {
            QString busName;
            QString trackIdPrefix;
        };
        std::optional<BusNames> desktopControls;
    };

    frmVELMYR();
    explicit frmVELMYR(Options options);

    // Controls, in stacking order from the topmost.
    controls::DirListBox* Dir1;     // the folder list
    controls::FileListBox* File1;   // the folder's "*.mp3" files
    controls::EventLabel* Label4;   // mute: " m", or " un" while muted
    controls::EventLabel* Label10;  // the status line: the number of MP3 files
    controls::EventLabel* Label9;   // previous: "<"
    controls::EventLabel* Label8;   // next: ">"
    controls::EventLabel* Label7;   // stop
    controls::EventLabel* Label6;   // pause: "  pause", or "  play" while paused
    controls::EventLabel* Label5;   // play
    controls::LineShape* Line3;
    controls::LineShape* Line2;
    controls::LineShape* Line1;
    controls::EventLabel* Label3;  // close: "  X"
    controls::EventLabel* Label2;  // minimize: "  _"
    controls::EventLabel* Label1;  // the title, by which the window is dragged
    // The media keys and the desktop's player controls; null unless asked for.
    desktop::MediaControls* Desktop = nullptr;

    // Text colours of the hover labels.
    static const QColor RestColor;
    static QColor HoverColor();

    enum class Wording { Long, Short };
    void RefreshStatusLine(Wording wording);

    // Start and end (start_end.cpp).
    void Form_Load();
    void Form_Unload(short& Cancel);

    // Browsing (browsing.cpp).
    void Dir1_Change();
    void File1_DblClick();
    // The path as the file system names it, given at start or by the desktop.
    void OpenPath(const QByteArray& path);
    void Label5_Click();
    void Label8_Click();
    void Label9_Click();

    // Transport (transport.cpp).
    void Label6_Click();
    void Label7_Click();
    void Label4_Click();

    // Hover feedback and status line (hover_status.cpp).
    void Form_MouseMove(short Button, short Shift, float X, float Y);
    void Form_Paint();
    void Dir1_MouseMove(short Button, short Shift, float X, float Y);
    void File1_MouseMove(short Button, short Shift, float X, float Y);
    void Label3_MouseMove(short Button, short Shift, float X, float Y);
    void Label4_MouseMove(short Button, short Shift, float X, float Y);
    void Label5_MouseMove(short Button, short Shift, float X, float Y);
    void Label6_MouseMove(short Button, short Shift, float X, float Y);
    void Label7_MouseMove(short Button, short Shift, float X, float Y);
    void Label8_MouseMove(short Button, short Shift, float X, float Y);
    void Label9_MouseMove(short Button, short Shift, float X, float Y);
    void Label10_MouseMove(short Button, short Shift, float X, float Y);

    // Title bar (title_bar.cpp).
    void Label1_MouseDown(short Button, short Shift, float X, float Y);
    void Label1_MouseMove(short Button, short Shift, float X, float Y);
    void Label2_Click();
    void Label3_Click();

    // For an installed copy, or where the user cannot write to the program's
    // folder, the profile calls keep the file in the user's configuration folder.
    QString SettingsFile() const;

private:
    void createControls();
    void applyLayout();
    void bindEvents();
    void bindDesktopControls();
    void createDesktopControls(const Options::BusNames& names);

    void PlaySelectedFile();
    bool SelectFile(const QString& name);
    void Hover(controls::EventLabel* lit, std::optional<Wording> rewrite);
    static bool CaptionIs(const controls::EventLabel* label, const char* caption);
    static void TurnOver(controls::EventLabel* label, const char* from, const char* to, void (*set)(bool));

    Options options_;
    float DragStartX = 0;
    float DragStartY = 0;
};
