// The settings dialog created as start-up creates it, beside a stand-in main page, in a
// registry of its own with the Windows shell folders of a typical system.
#pragma once

#include "paths/unit2.h"
#include "settings/registry_layout.h"
#include "support/registry_values.h"
#include "support/temp_folder.h"
#include "ui/application.h"
#include "ui/message_box.h"

#include <gtest/gtest.h>
#include <vector>

namespace settings_dialog_test {

using namespace testing_support;

// Start-up creates the main page first; a stand-in keeps the dialog from being the main window,
// whose closing would end the program.
class MainStandIn : public TForm {
public:
    MainStandIn() : TForm("Main", 467, 325, biSystemMenu) {}
};

inline MainStandIn* MainPage = nullptr;

class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application.Initialize();
        Application.SetTitle("Brisvane");
        SetText(HKEY_CURRENT_USER, layout::kShellFoldersKey, "Cookies", "C:\\WIN\\Cookies");
        SetText(HKEY_CURRENT_USER, layout::kShellFoldersKey, "Favorites", "C:\\WIN\\Favorites");
        SetText(HKEY_CURRENT_USER, layout::kShellFoldersKey, "History", "C:\\WIN\\History");
        SetText(HKEY_CURRENT_USER, layout::kShellFoldersKey, "Cache", "C:\\WIN\\Temporary");
    }
    void TearDown() override { Application.DestroyForms(); }

    void CreateWindows() {
        Application.CreateForm(MainPage);
        Application.CreateForm(Form2);
    }

    std::vector<TEdit*> Edits() const {
        return {Form2->Edit1, Form2->Edit2, Form2->Edit3, Form2->Edit4, Form2->Edit5, Form2->Edit6};
    }

    testing_support::RegistrySandbox m_sandbox;
    ui::MessageBoxRecorder m_messages;
};

} // namespace settings_dialog_test
