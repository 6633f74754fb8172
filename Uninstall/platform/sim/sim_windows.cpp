// Simulated top-level windows, the pause and process start, on a virtual
// clock: a pause or a wait on a hung window advances the clock, never the
// test's own time.
//
// windows.txt in a machine folder lists the open top-level windows, one a
// line: the class and the title in double quotes, then "hangs" for a window
// whose thread never handles a message again:
//   "#32770" "Halvoren"
//   "#32770" "Halvoren" hangs
#include <sstream>

#include "sim_internal.h"

namespace sim {
namespace {

const DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
// A window is taken to be hung once it has not handled messages for 5 s.
const uint64_t HUNG_AFTER_MS = 5000;

struct Window {
    HWND handle;
    std::string className;
    std::string title;
    bool hangs;
    bool open;
    std::vector<Message> received;
};

struct Desktop {
    std::vector<Window> windows;
    std::vector<StartedProgram> started;
    uint64_t clock = 0;
    uintptr_t nextWindow = 0x10010;
};

Desktop &desk()
{
    static Desktop instance;
    return instance;
}

Window *FindByHandle(HWND handle)
{
    for (Window &window : desk().windows) {
        if (window.handle == handle) {
            return &window;
        }
    }
    return nullptr;
}

bool HasExtension(const std::string &path)
{
    size_t slash = path.find_last_of("\\/");
    size_t dot = path.find_last_of('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

// The candidates process creation tries for a command line, in order.
std::vector<std::string> ProgramCandidates(const std::string &commandLine)
{
    std::vector<std::string> candidates;
    if (!commandLine.empty() && commandLine[0] == '"') {
        size_t close = commandLine.find('"', 1);
        candidates.push_back(commandLine.substr(1, close == std::string::npos ? std::string::npos : close - 1));
        return candidates;
    }
    for (size_t pos = 0; pos <= commandLine.size(); ++pos) {
        if (pos == commandLine.size() || commandLine[pos] == ' ' || commandLine[pos] == '\t') {
            if (pos > 0 && commandLine[pos - 1] != ' ' && commandLine[pos - 1] != '\t') {
                candidates.push_back(commandLine.substr(0, pos));
            }
        }
    }
    return candidates;
}

std::string QuotedField(std::istringstream &in)
{
    std::string field;
    char ch = 0;
    in >> std::ws;
    if (!in.get(ch) || ch != '"') {
        return field;
    }
    while (in.get(ch) && ch != '"') {
        field += ch;
    }
    return field;
}

} // namespace

void ResetWindows()
{
    desk() = Desktop();
}

std::string WindowsText()
{
    std::string text;
    for (const Window &window : desk().windows) {
        if (window.open) {
            text += "\"" + window.className + "\" \"" + window.title + "\"" + (window.hangs ? " hangs" : "") + "\n";
        }
    }
    return text;
}

void LoadWindowsText(const std::string &text)
{
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream in(line);
        std::string className = QuotedField(in);
        std::string title = QuotedField(in);
        std::string rest;
        in >> rest;
        AddWindow(className, title, rest == "hangs");
    }
}

HWND AddWindow(const std::string &className, const std::string &title, bool hangs)
{
    HWND handle = reinterpret_cast<HWND>(desk().nextWindow);
    desk().nextWindow += 0x10;
    desk().windows.push_back(Window{handle, className, title, hangs, true, {}});
    return handle;
}

bool WindowOpen(HWND window)
{
    Window *found = FindByHandle(window);
    return found != nullptr && found->open;
}

std::vector<Message> MessagesTo(HWND window)
{
    Window *found = FindByHandle(window);
    return found != nullptr ? found->received : std::vector<Message>();
}

std::vector<StartedProgram> Started()
{
    return desk().started;
}

uint64_t ClockMs()
{
    return desk().clock;
}

} // namespace sim

using sim::Dec;
using sim::Quote;

HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName)
{
    static const char *name = "FindWindowA";
    std::string args = Quote(lpClassName) + ", " + Quote(lpWindowName);
    DWORD error = sim::Enter(name);
    if (error != 0) {
        sim::SetError(error);
        sim::Record(name, args, "NULL");
        return nullptr;
    }
    for (const sim::Window &window : sim::desk().windows) {
        if (window.open && (lpClassName == nullptr || sim::SameName(window.className, lpClassName)) &&
            (lpWindowName == nullptr || sim::SameName(window.title, lpWindowName))) {
            sim::Record(name, args, sim::Ptr(window.handle));
            return window.handle;
        }
    }
    sim::Record(name, args, "NULL");
    return nullptr;
}

LRESULT WINAPI SendMessageTimeoutA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, UINT fuFlags, UINT uTimeout,
                                   PDWORD_PTR lpdwResult)
{
    static const char *name = "SendMessageTimeoutA";
    std::string args = sim::Ptr(hWnd) + ", " + sim::Hex(Msg) + ", " + Dec(static_cast<int64_t>(wParam)) + ", " +
                       Dec(lParam) + ", " + sim::Hex(fuFlags) + ", " + Dec(uTimeout);
    DWORD error = sim::Enter(name);
    sim::Window *window = sim::FindByHandle(hWnd);
    if (error == 0 && (window == nullptr || !window->open)) {
        error = sim::ERROR_INVALID_WINDOW_HANDLE;
    }
    if (error != 0) {
        sim::SetError(error);
        sim::Record(name, args, "0");
        return 0;
    }
    window->received.push_back(sim::Message{Msg, wParam, lParam});
    if (window->hangs) {
        uint64_t wait = uTimeout;
        if ((fuFlags & SMTO_ABORTIFHUNG) != 0 && wait > sim::HUNG_AFTER_MS) {
            wait = sim::HUNG_AFTER_MS;
        }
        sim::desk().clock += wait;
        sim::SetError(ERROR_TIMEOUT);
        sim::Record(name, args, "0 (timed out after " + Dec(static_cast<int64_t>(wait)) + " ms)");
        return 0;
    }
    if (Msg == WM_CLOSE) {
        window->open = false;
    }
    if (lpdwResult != nullptr) {
        *lpdwResult = 0;
    }
    sim::Record(name, args, "1");
    return 1;
}

void WINAPI Sleep(DWORD dwMilliseconds)
{
    sim::Enter("Sleep", false);
    sim::desk().clock += dwMilliseconds;
    sim::Record("Sleep", Dec(dwMilliseconds), "");
}

UINT WINAPI WinExec(LPCSTR lpCmdLine, UINT uCmdShow)
{
    static const char *name = "WinExec";
    std::string args = Quote(lpCmdLine) + ", " + Dec(uCmdShow);
    DWORD error = sim::Enter(name);
    if (error == 0 && lpCmdLine != nullptr) {
        for (std::string candidate : sim::ProgramCandidates(lpCmdLine)) {
            if (!sim::HasExtension(candidate)) {
                candidate += ".exe";
            }
            std::string hostPath;
            if (sim::ResolvePath(candidate.c_str(), &hostPath) == 0 &&
                (sim::Attributes(candidate) & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                std::string program = sim::WindowsPathOf(hostPath);
                sim::desk().started.push_back(sim::StartedProgram{program, lpCmdLine, uCmdShow});
                sim::Record(name, args, "33 started " + Quote(program.c_str()));
                return 33;
            }
        }
    }
    if (error == 0) {
        error = ERROR_FILE_NOT_FOUND;
    }
    sim::SetError(error);
    sim::Record(name, args, Dec(error));
    return error;
}
