// The tray's capture items, each one capture through the window's starter.
#include "app/main_window.h"

void TForm1::C1Click(tk::Component*) { captures.Start(CaptureKind::Desktop, false); }
void TForm1::R1Click(tk::Component*) { captures.Start(CaptureKind::Region, false); }
void TForm1::L1Click(tk::Component*) { captures.Start(CaptureKind::LastRegion, false); }
