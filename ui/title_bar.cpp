// The title strip: the title label drags the window, the minimize label
// minimizes it and the close label unloads it.
#include "frmVELMYR.h"

void frmVELMYR::Label1_MouseDown(short, short, float X, float Y) {
    DragStartX = X;
    DragStartY = Y;
}

void frmVELMYR::Label1_MouseMove(short Button, short, float X, float Y) {
    if ((Button & 1) == 0) return;
    setLeft(Left() + X - DragStartX);
    setTop(Top() + Y - DragStartY);
}

void frmVELMYR::Label2_Click() { setWindowState(Minimized); }

void frmVELMYR::Label3_Click() { close(); }
