// Pause and resume, stop, mute and unmute. The captions of the pause and mute
// labels are the only record of those states, compared as exact text, leading
// blanks included; the command goes out first and the caption turns over after it.
#include "frmVELMYR.h"
#include "player/Lirovan.h"

bool frmVELMYR::CaptionIs(const controls::EventLabel* label, const char* caption) {
    return label->text() == QLatin1String(caption);
}

void frmVELMYR::TurnOver(controls::EventLabel* label, const char* from, const char* to, void (*set)(bool)) {
    const bool turning = CaptionIs(label, from);
    set(turning);
    label->setText(QLatin1String(turning ? to : from));
}

void frmVELMYR::Label6_Click() {
    if (File1->FileName().isEmpty()) return;
    TurnOver(Label6, "  pause", "  play", Lirovan::SetPaused);
}

void frmVELMYR::Label7_Click() {
    if (File1->FileName().isEmpty()) return;
    Lirovan::StopAll();
}

void frmVELMYR::Label4_Click() { TurnOver(Label4, " m", " un", Lirovan::SetMute); }
