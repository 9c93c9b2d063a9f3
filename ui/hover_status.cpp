// Hover feedback and the status line. The label under the pointer lights up in
// HoverColor and the other hover labels go back to RestColor; most handlers
// then rewrite the status line with the file count.
#include "frmVELMYR.h"

void frmVELMYR::RefreshStatusLine(Wording wording) {
    const short count = File1->ListCount();
    Label10->setText(QLatin1Char('(') + QString::number(count) +
                     (wording == Wording::Long ? QLatin1String(") MP3 files in this directory")
                                               : QLatin1String(") mp3's in this dir")));
}

// Every colour is set anew at every event, whether or not it changes: which
// label was lit before does not matter.
void frmVELMYR::Hover(controls::EventLabel* lit, std::optional<Wording> rewrite) {
    for (controls::EventLabel* label : {Label10, Label4, Label5, Label6, Label7, Label8, Label9})
        label->setForeColor(label == lit ? HoverColor() : RestColor);
    if (rewrite) RefreshStatusLine(*rewrite);
}

// Which hover label each handler lights (none: all at rest), and the wording
// it rewrites the status line in (none: the line is left as it is).
// clang-format off
void frmVELMYR::Form_MouseMove(short, short, float, float)    { Hover(nullptr, Wording::Long); }
void frmVELMYR::Label4_MouseMove(short, short, float, float)  { Hover(Label4,  Wording::Short); }
void frmVELMYR::Label5_MouseMove(short, short, float, float)  { Hover(Label5,  Wording::Long); }
void frmVELMYR::Label6_MouseMove(short, short, float, float)  { Hover(Label6,  Wording::Long); }
void frmVELMYR::Label7_MouseMove(short, short, float, float)  { Hover(Label7,  Wording::Long); }
void frmVELMYR::Label8_MouseMove(short, short, float, float)  { Hover(Label8,  std::nullopt); }
void frmVELMYR::Label9_MouseMove(short, short, float, float)  { Hover(Label9,  Wording::Long); }
void frmVELMYR::Label10_MouseMove(short, short, float, float) { Hover(Label10, std::nullopt); }
// clang-format on

// These light nothing and leave the colours as they are.
void frmVELMYR::Label3_MouseMove(short, short, float, float) { RefreshStatusLine(Wording::Long); }
void frmVELMYR::Dir1_MouseMove(short, short, float, float) { RefreshStatusLine(Wording::Long); }
void frmVELMYR::File1_MouseMove(short, short, float, float) { RefreshStatusLine(Wording::Short); }
void frmVELMYR::Form_Paint() { RefreshStatusLine(Wording::Long); }
