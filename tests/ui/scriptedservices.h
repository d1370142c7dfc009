#pragma once

#include "fakes/fakedesktopopener.h"
#include "fakes/fakedrives.h"
#include "fakes/fakemessagebox.h"
#include "fakes/fakevolumes.h"
#include "fakes/scriptedfolderpicker.h"

namespace mellowby::tests {

// The services of the windows' context that the tests script: drives, volumes, boxes, the
// desktop and its folder dialog. The programs of the tests derive from it, so that the services
// are made before the context that refers to them.
struct ScriptedServices {
    fakes::FakeDrives drives;
    fakes::FakeVolumes volumes;
    fakes::FakeMessageBox box;
    fakes::FakeDesktopOpener opener;
    fakes::ScriptedFolderPicker picker;
};

} // namespace mellowby::tests
