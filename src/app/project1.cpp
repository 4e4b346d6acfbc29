#include "app/project1.h"

#include "app/artwork.h"
#include "app/registry_notice.h"
#include "app/unit1.h"
#include "app/unit4.h"
#include "cleaner/unit3.h"
#include "paths/unit2.h"
#include "ui/application.h"
#include "ui/guard.h"

void CreateWindows() {
    Application.SetTitle("Brisvane");
    Application.SetIcon(ProgramIcon());
    Application.CreateForm(Form1);
    Application.CreateForm(Form2);
    Application.CreateForm(Form3);
    Application.CreateForm(Form4);
}

int Project1(int& argc, char** argv) {
    ui::Guard([&] {
        Application.Initialize(argc, argv);
        // Lets the desktop match the windows with the installed launcher and its icon.
        Application.SetLauncherName("brisvane");
        CreateWindows();
        ReportUnusableRegistryFiles();
        Application.Run();
    });
    Application.Finalize();
    return 0;
}
