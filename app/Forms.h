#pragma once
// The program's forms, created in the start-up order (main window first) and destroyed in reverse.
// The tool windows are children of the main window, so they stay above it and go with it. The
// Instance View, the About window and the Render window are among them.

#include "app/Main.h"
#include "app/Report.h"
#include "ui/Inspector.h"
#include "ui/MeshFormation.h"
#include "ui/NewFileDialog.h"
#include "ui/SmallWindows.h"

namespace orvex {

struct Forms {
    TMyGL MyGL;
    TInspector Inspector{&MyGL};
    TMesh_Formation Mesh_Formation{&MyGL};
    TMyView My_View{&MyGL};
    TNew_File_Dialog New_File_Dialog{&MyGL};
    TAboutBox AboutBox{&MyGL};
    TReport_Form Report_Form{&MyGL};
    TMyPlane My_Plane{&MyGL};

    Forms() {
        MyGL.Attach_Forms(&Inspector, &Mesh_Formation, &Report_Form, &New_File_Dialog);
        MyGL.Attach_Windows(&My_View, &AboutBox, &My_Plane);
    }
    Forms(const Forms&) = delete;
    Forms& operator=(const Forms&) = delete;
};

}  // namespace orvex
