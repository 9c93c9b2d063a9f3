// The one place where the events of the window and its controls meet their
// handlers. An event that is not listed here is not handled.
#include "frmVELMYR.h"
#include "platform/desktop/MediaControls.h"

using F = frmVELMYR;
using controls::DirListBox, controls::EventLabel, controls::FileListBox, controls::FormWindow;

void frmVELMYR::bindEvents() {
    // clang-format off
    //       control  event                       handler
    connect(this,    &FormWindow::Load,          this, &F::Form_Load);
    connect(this,    &FormWindow::Unload,        this, &F::Form_Unload);
    connect(this,    &FormWindow::MouseMove,     this, &F::Form_MouseMove);
    connect(this,    &FormWindow::Paint,         this, &F::Form_Paint);
    connect(Dir1,    &DirListBox::Change,        this, &F::Dir1_Change);
    connect(Dir1,    &DirListBox::MouseMove,     this, &F::Dir1_MouseMove);
    connect(File1,   &FileListBox::DblClick,     this, &F::File1_DblClick);
    connect(File1,   &FileListBox::MouseMove,    this, &F::File1_MouseMove);
    connect(Label1,  &EventLabel::MouseDown,     this, &F::Label1_MouseDown);
    connect(Label1,  &EventLabel::MouseMove,     this, &F::Label1_MouseMove);
    connect(Label2,  &EventLabel::Click,         this, &F::Label2_Click);
    connect(Label3,  &EventLabel::Click,         this, &F::Label3_Click);
    connect(Label3,  &EventLabel::MouseMove,     this, &F::Label3_MouseMove);
    connect(Label4,  &EventLabel::Click,         this, &F::Label4_Click);
    connect(Label6,  &EventLabel::Click,         this, &F::Label6_Click);
    connect(Label7,  &EventLabel::Click,         this, &F::Label7_Click);
    connect(Label5,  &EventLabel::Click,         this, &F::Label5_Click);
    connect(Label8,  &EventLabel::Click,         this, &F::Label8_Click);
    connect(Label9,  &EventLabel::Click,         this, &F::Label9_Click);
    connect(Label4,  &EventLabel::MouseMove,     this, &F::Label4_MouseMove);
    connect(Label5,  &EventLabel::MouseMove,     this, &F::Label5_MouseMove);
    connect(Label6,  &EventLabel::MouseMove,     this, &F::Label6_MouseMove);
    connect(Label7,  &EventLabel::MouseMove,     this, &F::Label7_MouseMove);
    connect(Label8,  &EventLabel::MouseMove,     this, &F::Label8_MouseMove);
    connect(Label9,  &EventLabel::MouseMove,     this, &F::Label9_MouseMove);
    connect(Label10, &EventLabel::MouseMove,     this, &F::Label10_MouseMove);
    // clang-format on
    if (Desktop) bindDesktopControls();
}

// The desktop's requests reach the handlers of the labels that do the same.
// Its view of what plays, and of the list's ends, is read again after every
// handler that may change it and after every change of the selection or the
// folder, so those come after the handlers above; it goes on the bus once the
// window is first painted.
void frmVELMYR::bindDesktopControls() {
    using desktop::MediaControls;
    MediaControls* const D = Desktop;
    // clang-format off
    //       control  event                          handler
    connect(D,       &MediaControls::PauseOrResume, this, &F::Label6_Click);
    connect(D,       &MediaControls::PlaySelected,  this, &F::Label5_Click);
    connect(D,       &MediaControls::Stop,          this, &F::Label7_Click);
    connect(D,       &MediaControls::Next,          this, &F::Label8_Click);
    connect(D,       &MediaControls::Previous,      this, &F::Label9_Click);
    connect(D,       &MediaControls::Raise,         this, &F::showNormal);
    connect(D,       &MediaControls::Raise,         this, &F::raise);
    connect(D,       &MediaControls::Raise,         this, &F::activateWindow);
    connect(D,       &MediaControls::Quit,          this, &F::Label3_Click);
    connect(D,       &MediaControls::Open,          this, &F::OpenPath);

    connect(File1,   &FileListBox::DblClick,        D, &MediaControls::fileMayHaveStarted);
    connect(Label5,  &EventLabel::Click,            D, &MediaControls::fileMayHaveStarted);
    connect(Label8,  &EventLabel::Click,            D, &MediaControls::fileMayHaveStarted);
    connect(Label9,  &EventLabel::Click,            D, &MediaControls::fileMayHaveStarted);
    connect(Label6,  &EventLabel::Click,            D, &MediaControls::playbackMayHaveChanged);
    connect(Label7,  &EventLabel::Click,            D, &MediaControls::playbackMayHaveChanged);
    connect(File1,   &FileListBox::SelectionChange, D, &MediaControls::playbackMayHaveChanged);
    connect(Dir1,    &DirListBox::Change,           D, &MediaControls::playbackMayHaveChanged);
    connect(this,    &FormWindow::Paint,            D, &MediaControls::publish);
    // clang-format on
}
