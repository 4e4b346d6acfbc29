#include "app_fixture.h"

#include <cstdlib>

namespace app_test {

// What `cmake --install` runs for the registry.
std::string InstallProgram(const std::string& folder) {
    const std::string command = std::string("\"") + BRISVANE_CMAKE + "\" -DBRISVANE_REG=\"" +
                                BRISVANE_REG + "\" -DINSTALL_FOLDER=\"" + folder + "\" -P \"" +
                                BRISVANE_REGISTER_SCRIPT + "\" > /dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return folder + "/brisvan";
}

} // namespace app_test
