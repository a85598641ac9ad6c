// The windowing toolkit: application object, forms, standard controls, menus,
// timers and dialogs. Every object keeps its own state in C++; a backend peer
// (win32 or headless) mirrors that state when one is attached and reports user
// input back through the object's Peer* entry points, which update the state
// and then fire the event. Form code never touches a native window handle
// except to pass Handle() on to a platform call.
//
// One header per concept; including this one gives them all.
#pragma once

#include "toolkit/component.h"
#include "toolkit/controls.h"
#include "toolkit/menus.h"
#include "toolkit/forms.h"
#include "toolkit/application.h"
#include "toolkit/scaling.h"
