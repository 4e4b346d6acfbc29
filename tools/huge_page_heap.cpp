#include "huge_page_heap.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace regtool {

namespace {

constexpr const char* kTunables = "GLIBC_TUNABLES";
constexpr const char* kHugePageTunable = "glibc.malloc.hugetlb";
// What the user's GLIBC_TUNABLES was before the restart: "-" when it was not set, else "+" and
// its value.
constexpr const char* kTunablesBefore = "BRISVANE_REG_TUNABLES_BEFORE";

bool SystemOffersHugePages() {
    std::ifstream mode("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string text;
    return std::getline(mode, text) && text.find("[never]") == std::string::npos;
}

void PutTunablesBack(const char* before) {
    if (before[0] == '+')
        setenv(kTunables, before + 1, 1);
    else
        unsetenv(kTunables);
    unsetenv(kTunablesBefore);
}

} // namespace

std::optional<std::string> TunablesWithHugePages(const char* current, bool systemOffersHugePages) {
    const std::string tunables = current ? current : "";
    if (!systemOffersHugePages || tunables.find(kHugePageTunable) != std::string::npos)
        return std::nullopt;
    return (tunables.empty() ? "" : tunables + ":") + kHugePageTunable + "=1";
}

void RestartWithHugePageHeap(char** argv) {
    if (const char* before = std::getenv(kTunablesBefore)) {
        const std::string saved = before;
        PutTunablesBack(saved.c_str());
        return;
    }
    const char* current = std::getenv(kTunables);
    const std::optional<std::string> tunables =
        TunablesWithHugePages(current, SystemOffersHugePages());
    if (!tunables)
        return;
    const std::string before = current ? std::string("+") + current : "-";
    setenv(kTunablesBefore, before.c_str(), 1);
    setenv(kTunables, tunables->c_str(), 1);
    execv("/proc/self/exe", argv);
    PutTunablesBack(before.c_str());
}

} // namespace regtool
