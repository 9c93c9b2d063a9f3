// Hover feedback and the status line. The label under the pointer lights up in
// HoverColor and the other hover labels go back to RestColor, in each row's
// own order; most rows then rewrite the status line with the file count.
#include "frmVELMYR.h"

void frmVELMYR::RefreshStatusLine(Wording wording) {
    const short count = File1->ListCount();
    Label10->setText(QLatin1Char('(') + QString::number(count) +
                     (wording == Wording::Long ? QLatin1String(") MP3 files in this directory")
                                               : QLatin1String(") mp3's in this dir")));
}

void frmVELMYR::Form_MouseMove(short, short, float, float) {
    Label10->setForeColor(RestColor);
    Label4->setForeColor(RestColor);
    Label5->setForeColor(RestColor);
    Label6->setForeColor(RestColor);
    Label7->setForeColor(RestColor);
    Label8->setForeColor(RestColor);
    Label9->setForeColor(RestColor);
    RefreshStatusLine(Wording::Long);
}

void frmVELMYR::Label4_MouseMove(short, short, float, float) {
    Label10->setForeColor(RestColor);
    Label5->setForeColor(RestColor);
    Label6->setForeColor(RestColor);
    Label4->setForeColor(HoverColor());
    Label8->setForeColor(RestColor);
    Label9->setForeColor(RestColor);
    Label7->setForeColor(RestColor);
    RefreshStatusLine(Wording::Short);
}

void frmVELMYR::Label5_MouseMove(short, short, float, float) {
    Label4->setForeColor(RestColor);
    Label10->setForeColor(RestColor);
    Label5->setForeColor(HoverColor());
    Label6->setForeColor(RestColor);
    Label7->setForeColor(RestColor);
    Label8->setForeColor(RestColor);
    Label9->setForeColor(RestColor);
    RefreshStatusLine(Wording::Long);
}

void frmVELMYR::Label6_MouseMove(short, short, float, float) {
    Label4->setForeColor(RestColor);
    Label10->setForeColor(RestColor);
    Label5->setForeColor(RestColor);
    Label6->setForeColor(HoverColor());
    Label7->setForeColor(RestColor);
    Label8->setForeColor(RestColor);
    Label9->setForeColor(RestColor);
    RefreshStatusLine(Wording::Long);
}

void frmVELMYR::Label7_MouseMove(short, short, float, float) {
    Label4->setForeColor(RestColor);
    Label10->setForeColor(RestColor);
    Label5->setForeColor(RestColor);
    Label6->setForeColor(RestColor);
    Label7->setForeColor(HoverColor());
    Label8->setForeColor(RestColor);
    Label9->setForeColor(RestColor);
    RefreshStatusLine(Wording::Long);
}

void frmVELMYR::Label8_MouseMove(short, short, float, float) {
    Label4->setForeColor(RestColor);
    Label10->setForeColor(RestColor);
    Label5->setForeColor(RestColor);
    Label6->setForeColor(RestColor);
    Label7->setForeColor(RestColor);
    Label8->setForeColor(HoverColor());
    Label9->setForeColor(RestColor);
}

void frmVELMYR::Label9_MouseMove(short, short, float, float) {
    Label4->setForeColor(RestColor);
    Label10->setForeColor(RestColor);
    Label5->setForeColor(RestColor);
    Label6->setForeColor(RestColor);
    Label7->setForeColor(RestColor);
    Label8->setForeColor(RestColor);
    Label9->setForeColor(HoverColor());
    RefreshStatusLine(Wording::Long);
}

void frmVELMYR::Label10_MouseMove(short, short, float, float) {
    Label4->setForeColor(RestColor);
    Label10->setForeColor(HoverColor());
    Label5->setForeColor(RestColor);
    Label6->setForeColor(RestColor);
    Label7->setForeColor(RestColor);
    Label8->setForeColor(RestColor);
    Label9->setForeColor(RestColor);
}

void frmVELMYR::Label3_MouseMove(short, short, float, float) { RefreshStatusLine(Wording::Long); }

void frmVELMYR::Dir1_MouseMove(short, short, float, float) { RefreshStatusLine(Wording::Long); }

void frmVELMYR::File1_MouseMove(short, short, float, float) { RefreshStatusLine(Wording::Short); }

void frmVELMYR::Form_Paint() { RefreshStatusLine(Wording::Long); }
