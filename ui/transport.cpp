// Pause and resume, stop, mute and unmute. The captions of the pause and mute
// labels are the only record of those states, compared as exact text, leading
// blanks included; the command goes out first and the caption turns over after it.
#include "frmVELMYR.h"
#include "player/Lirovan.h"

bool frmVELMYR::CaptionIs(const controls::EventLabel* label, const char* caption) {
    return label->text() == QLatin1String(caption);
}

void frmVELMYR::Label6_Click() {
    if (File1->FileName().isEmpty()) return;
    if (CaptionIs(Label6, "  pause")) {
        Lirovan::SetPaused(true);
        Label6->setText(QStringLiteral("  play"));
    } else {
        Lirovan::SetPaused(false);
        Label6->setText(QStringLiteral("  pause"));
    }
}

void frmVELMYR::Label7_Click() {
    if (File1->FileName().isEmpty()) return;
    Lirovan::StopAll();
}

void frmVELMYR::Label4_Click() {
    if (CaptionIs(Label4, " m")) {
        Lirovan::SetMute(true);
        Label4->setText(QStringLiteral(" un"));
    } else {
        Lirovan::SetMute(false);
        Label4->setText(QStringLiteral(" m"));
    }
}
