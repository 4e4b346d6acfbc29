// A fixture for tests that build folders of files under a fresh temporary root.
#pragma once

#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <string>

class FolderFixture : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return m_root / name; }

    // Makes `name` (under the root) a folder holding the given plain files.
    std::string Folder(const std::string& name, std::initializer_list<const char*> files = {}) {
        testing_support::MakeFolder(Path(name));
        for (const char* file : files)
            testing_support::WriteFile(Path(name) + "/" + file, file);
        return Path(name);
    }

    testing_support::TempFolder m_root;
    // Declared after the folder so that it gives the current folder back before the folder is
    // removed: Windows cannot remove a folder that is current.
    testing_support::RegistrySandbox m_sandbox;
};
