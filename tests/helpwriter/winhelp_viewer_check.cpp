// Opens a help file through WinHelpA as the program's Help buttons do and checks what the
// system's help viewer shows: HELP_FINDER the contents topic, HELP_CONTEXT 1 the settings
// topic, and HELP_QUIT closes the viewer. Reads the viewer's text from its windows.
//   winhelp_viewer_check.exe HELPFILE [SCREENSHOT-FOLDER]
// With a folder, saves each topic's window there as a .bmp. Exits 1 at the first failed check.
#include <cstdio>
#include <string>
#include <vector>
#include <windows.h>

namespace {

constexpr DWORD kPatienceMs = 30000;

HWND FindViewer() {
    return FindWindowA("MS_WINHELP", nullptr);
}

BOOL CALLBACK CollectText(HWND child, LPARAM lParam) {
    char buffer[16384];
    DWORD_PTR length = 0;
    if (SendMessageTimeoutA(child, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                            SMTO_ABORTIFHUNG, 2000, &length) &&
        length > 0)
        reinterpret_cast<std::string*>(lParam)->append(buffer, length).append("\n");
    return TRUE;
}

std::string ViewerText(HWND viewer) {
    std::string text;
    CollectText(viewer, reinterpret_cast<LPARAM>(&text));
    EnumChildWindows(viewer, CollectText, reinterpret_cast<LPARAM>(&text));
    return text;
}

// Waits until the viewer shows every one of the phrases; returns its window, or null.
HWND WaitForText(const std::vector<std::string>& phrases, std::string& seen) {
    for (DWORD waited = 0; waited < kPatienceMs; waited += 250) {
        if (HWND viewer = FindViewer()) {
            seen = ViewerText(viewer);
            bool all = true;
            for (const std::string& phrase : phrases)
                all = all && seen.find(phrase) != std::string::npos;
            if (all)
                return viewer;
        }
        Sleep(250);
    }
    return nullptr;
}

bool SaveWindowPicture(HWND window, const std::string& path) {
    // The viewer lays out its button bar after the topic text: give it time to draw.
    Sleep(1500);
    RECT rect;
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const DWORD rowSize = ((width * 3 + 3) / 4) * 4;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + rowSize * height;
    FILE* out = std::fopen(path.c_str(), "wb");
    const bool written = out && std::fwrite(&file, sizeof file, 1, out) == 1 &&
                         std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                         std::fwrite(bits, rowSize * height, 1, out) == 1;
    if (out)
        std::fclose(out);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return written;
}

int Fail(const char* what, const std::string& seen) {
    std::printf("FAILED: %s\nThe viewer showed:\n%s\n", what, seen.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::printf("usage: winhelp_viewer_check HELPFILE [SCREENSHOT-FOLDER]\n");
        return 2;
    }
    const char* helpFile = argv[1];
    const std::string pictures = argc == 3 ? argv[2] : "";
    // WinHelpA names the calling window to the viewer, as a dialog's Help button does.
    HWND owner = CreateWindowA("STATIC", "Brisvane help check", WS_POPUP, 0, 0, 1, 1, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
    std::string seen;

    if (!WinHelpA(owner, helpFile, HELP_FINDER, 0))
        return Fail("WinHelpA HELP_FINDER returned FALSE", "");
    HWND viewer = WaitForText({"Brisvane Help", "Contents", "What is Internet debris?"}, seen);
    if (!viewer)
        return Fail("HELP_FINDER did not show the contents topic", seen);
    std::printf("WinHelpA HELP_FINDER: the viewer shows the contents topic\n");
    if (!pictures.empty() && !SaveWindowPicture(viewer, pictures + "\\help-contents.bmp"))
        return Fail("could not save the contents picture", seen);

    if (!WinHelpA(owner, helpFile, HELP_CONTEXT, 1))
        return Fail("WinHelpA HELP_CONTEXT 1 returned FALSE", "");
    viewer = WaitForText({"The first run and the Settings dialog", "lists six folders"}, seen);
    if (!viewer)
        return Fail("HELP_CONTEXT 1 did not show the settings topic", seen);
    std::printf("WinHelpA HELP_CONTEXT 1: the viewer shows the settings topic\n");
    if (!pictures.empty() && !SaveWindowPicture(viewer, pictures + "\\help-context-1.bmp"))
        return Fail("could not save the settings picture", seen);

    WinHelpA(owner, helpFile, HELP_QUIT, 0);
    for (DWORD waited = 0; FindViewer(); waited += 250) {
        if (waited >= kPatienceMs)
            return Fail("HELP_QUIT left the viewer open", ViewerText(FindViewer()));
        Sleep(250);
    }
    std::printf("WinHelpA HELP_QUIT: the viewer closed\n");
    DestroyWindow(owner);
    return 0;
}
