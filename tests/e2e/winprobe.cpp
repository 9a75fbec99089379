// Reads what the uninstaller's windows show, from outside: run under the same
// Wine prefix as the program, it prints a window's child controls and texts.
//
//   wintext box CAPTION   the dialog-class top-level window captioned CAPTION
//   wintext progress      the visible top-level dialog that holds a progress bar
//   wintext list          every visible top-level window
//
// Nothing here sends a message to the windows it reads: the progress dialog's
// thread is busy with the run and would not answer until the run ends.
// Exit status 0 when the window was found, 3 when it was not.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string TextOf(HWND window) {
    std::vector<char> buffer(4096);
    for (;;) {
        int length = GetWindowTextA(window, buffer.data(), static_cast<int>(buffer.size()));
        if (length < static_cast<int>(buffer.size()) - 1) return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

std::string ClassOf(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// One line per window: backslash, line breaks and other control bytes escaped,
// so a text that holds "\n" is told apart from one that breaks the line.
std::string Escaped(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c < 0x20 || c == 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else out += static_cast<char>(c);
    }
    return out;
}

void PrintRect(const char* what, HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    std::printf("%s %ld %ld %ld %ld\n", what, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
    const std::string cls = ClassOf(child);
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    // A static control that shows an icon: whether it has one is read from its
    // style, and from the control being shown at all.
    const bool iconStatic = _stricmp(cls.c_str(), "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON;
    std::printf("child|%s|%d|%s|%s|%s\n", cls.c_str(), GetDlgCtrlID(child),
                IsWindowVisible(child) ? "visible" : "hidden", iconStatic ? "icon" : "-",
                Escaped(TextOf(child)).c_str());
    return TRUE;
}

struct Search {
    std::string caption;
    bool progress = false;
    std::vector<HWND> found;
};

BOOL CALLBACK HasProgressBar(HWND child, LPARAM found) {
    if (_stricmp(ClassOf(child).c_str(), "msctls_progress32") == 0) {
        *reinterpret_cast<HWND*>(found) = child;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK Match(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    if (ClassOf(window) != "#32770") return TRUE;
    if (search->progress) {
        HWND bar = nullptr;
        EnumChildWindows(window, HasProgressBar, reinterpret_cast<LPARAM>(&bar));
        if (bar != nullptr && IsWindowVisible(window)) search->found.push_back(window);
    } else if (TextOf(window) == search->caption) {
        search->found.push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK ListWindow(HWND window, LPARAM) {
    if (!IsWindowVisible(window)) return TRUE;
    RECT rect;
    GetWindowRect(window, &rect);
    std::printf("window|%s|%s|%ld %ld %ld %ld\n", ClassOf(window).c_str(), Escaped(TextOf(window)).c_str(),
                rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    return TRUE;
}

void PrintWindow(HWND window) {
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    std::printf("window|%s|%s|%s|%s\n", ClassOf(window).c_str(), IsWindowVisible(window) ? "visible" : "hidden",
                (style & WS_CAPTION) == WS_CAPTION ? "caption" : "nocaption", Escaped(TextOf(window)).c_str());
    PrintRect("rect", window);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "list") == 0) {
        EnumWindows(ListWindow, 0);
        return 0;
    }
    Search search;
    if (argc == 3 && std::strcmp(argv[1], "box") == 0) {
        search.caption = argv[2];
    } else if (argc == 2 && std::strcmp(argv[1], "progress") == 0) {
        search.progress = true;
    } else {
        std::fprintf(stderr, "usage: wintext box CAPTION | wintext progress | wintext list\n");
        return 2;
    }
    EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
    if (search.found.empty()) return 3;
    if (search.found.size() > 1) std::printf("count %u\n", static_cast<unsigned>(search.found.size()));
    HWND window = search.found.front();
    PrintWindow(window);
    if (search.progress) {
        HWND bar = nullptr;
        EnumChildWindows(window, HasProgressBar, reinterpret_cast<LPARAM>(&bar));
        PrintRect("bar", bar);
        // The bar's inside, without its border: where the fill is drawn.
        RECT client;
        GetClientRect(bar, &client);
        POINT origin = {0, 0};
        ClientToScreen(bar, &origin);
        std::printf("barclient %ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
    }
    EnumChildWindows(window, PrintChild, 0);
    std::fflush(stdout);
    return 0;
}
