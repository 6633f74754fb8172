// The simulated file system: a host folder stands for drive C:, Windows
// paths map onto it component by component without regard to ASCII case,
// and file attributes, protected files and files held open by another
// process live here. Also the directory queries and the file handles that
// the INF text reader reads through.
//
// attributes.txt in a machine folder lists the files whose state is not the
// default (ARCHIVE, deletable, not open elsewhere), one a line:
//   readonly,hidden C:\Windows\System32\drivers\cam.sys
//   locked C:\Windows\inf\oem7.inf
// Words: readonly hidden system archive normal (attribute bits; none named
// means archive), locked (held open by another process without delete
// sharing), protected (deletion denied by the file's security).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>

#include "sim_internal.h"

namespace sim {
namespace {

const DWORD SETTABLE_ATTRIBUTES = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL | 0x100 /* TEMPORARY */ |
                                  0x1000 /* OFFLINE */ | 0x2000 /* NOT_CONTENT_INDEXED */;

struct FileState {
    DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
    bool locked = false;
    bool isProtected = false;
};

struct OpenFile {
    int fd;
    std::string hostPath;
    DWORD share;
};

struct FileSystem {
    std::string driveRoot;
    std::string windowsDirectory = "C:\\Windows";
    std::map<std::string, FileState> states; // by host path
    std::map<uintptr_t, OpenFile> handles;
    uintptr_t nextHandle = 0x2000;
};

FileSystem &fs()
{
    static FileSystem instance;
    return instance;
}

bool IsDirectory(const std::string &hostPath)
{
    struct stat info;
    return stat(hostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::string &hostPath)
{
    struct stat info;
    return stat(hostPath.c_str(), &info) == 0;
}

// The entry of folder whose name equals name without regard to ASCII case.
bool FindEntry(const std::string &folder, const std::string &name, std::string *found)
{
    DIR *dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return false;
    }
    bool matched = false;
    while (dirent *entry = readdir(dir)) {
        if (SameName(entry->d_name, name)) {
            *found = entry->d_name;
            matched = true;
            // An exact match wins over another entry that differs in case.
            if (name == entry->d_name) {
                break;
            }
        }
    }
    closedir(dir);
    return matched;
}

// A Windows path's components below C:, normalised the way Win32 makes a
// path absolute. Returns 0 or the error the path gives.
DWORD Components(const char *windowsPath, std::vector<std::string> *parts)
{
    if (windowsPath == nullptr) {
        return ERROR_PATH_NOT_FOUND;
    }
    std::string path = windowsPath;
    if (path.size() < 3 || (path[0] != 'C' && path[0] != 'c') || path[1] != ':' ||
        (path[2] != '\\' && path[2] != '/')) {
        return ERROR_PATH_NOT_FOUND;
    }
    std::string part;
    auto flush = [&]() -> DWORD {
        if (part.empty() || part == ".") {
        } else if (part == "..") {
            if (!parts->empty()) {
                parts->pop_back();
            }
        } else {
            while (!part.empty() && (part.back() == '.' || part.back() == ' ')) {
                part.pop_back();
            }
            if (part.find(':') != std::string::npos) {
                return ERROR_PATH_NOT_FOUND;
            }
            if (part.find_first_of("*?<>|\"") != std::string::npos) {
                return ERROR_INVALID_NAME;
            }
            if (!part.empty()) {
                parts->push_back(part);
            }
        }
        part.clear();
        return 0;
    };
    for (size_t i = 3; i < path.size(); ++i) {
        if (path[i] == '\\' || path[i] == '/') {
            if (DWORD error = flush()) {
                return error;
            }
        } else {
            part += path[i];
        }
    }
    return flush();
}

DWORD Resolve(const char *windowsPath, std::string *hostPath, bool createFolders)
{
    std::vector<std::string> parts;
    if (DWORD error = Components(windowsPath, &parts)) {
        return error;
    }
    if (fs().driveRoot.empty()) {
        return ERROR_PATH_NOT_FOUND;
    }
    std::string current = fs().driveRoot;
    for (size_t i = 0; i < parts.size(); ++i) {
        bool last = i + 1 == parts.size();
        std::string found;
        if (FindEntry(current, parts[i], &found)) {
            current += "/" + found;
            if (!last && !IsDirectory(current)) {
                return ERROR_PATH_NOT_FOUND;
            }
        } else if (last) {
            *hostPath = current + "/" + parts[i];
            return ERROR_FILE_NOT_FOUND;
        } else if (createFolders) {
            current += "/" + parts[i];
            mkdir(current.c_str(), 0755);
        } else {
            return ERROR_PATH_NOT_FOUND;
        }
    }
    *hostPath = current;
    return 0;
}

DWORD AttributesOf(const std::string &hostPath)
{
    auto found = fs().states.find(hostPath);
    DWORD attributes = found == fs().states.end() ? FILE_ATTRIBUTE_ARCHIVE : found->second.attributes;
    if (IsDirectory(hostPath)) {
        attributes = (found == fs().states.end() ? 0 : attributes & ~FILE_ATTRIBUTE_NORMAL) |
                     FILE_ATTRIBUTE_DIRECTORY;
    }
    return attributes;
}

bool OpenWithoutDeleteSharing(const std::string &hostPath)
{
    for (const auto &entry : fs().handles) {
        if (entry.second.hostPath == hostPath && (entry.second.share & FILE_SHARE_DELETE) == 0) {
            return true;
        }
    }
    auto found = fs().states.find(hostPath);
    return found != fs().states.end() && found->second.locked;
}

FileState &StateOf(const std::string &hostPath)
{
    return fs().states[hostPath];
}

void ListBelow(const std::string &hostFolder, std::vector<std::string> *files)
{
    DIR *dir = opendir(hostFolder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (dirent *entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) {
            continue;
        }
        std::string child = hostFolder + "/" + entry->d_name;
        if (IsDirectory(child)) {
            ListBelow(child, files);
        } else {
            files->push_back(WindowsPathOf(child));
        }
    }
    closedir(dir);
}

// A failed directory query leaves the buffer without a usable path; fill it
// so that a caller who uses it anyway is caught.
void Spoil(LPSTR buffer, UINT size)
{
    if (buffer != nullptr && size > 0) {
        memset(buffer, 'X', size);
    }
}

UINT DirectoryQuery(const char *name, const std::string &directory, LPSTR buffer, UINT size)
{
    std::string args = Dec(size);
    DWORD error = Enter(name);
    if (error == 0 && directory.empty()) {
        error = ERROR_NOT_ENOUGH_MEMORY;
    }
    if (error != 0) {
        Spoil(buffer, size);
        SetError(error);
        Record(name, args, "0");
        return 0;
    }
    UINT length = static_cast<UINT>(directory.size());
    if (buffer == nullptr || size <= length) {
        Record(name, args, Dec(length + 1) + " (buffer too small)");
        return length + 1;
    }
    memcpy(buffer, directory.c_str(), length + 1);
    Record(name, args, Dec(length) + " " + Quote(buffer));
    return length;
}

} // namespace

DWORD ResolvePath(const char *windowsPath, std::string *hostPath)
{
    return Resolve(windowsPath, hostPath, false);
}

std::string WindowsPathOf(const std::string &hostPath)
{
    std::string rest = hostPath.substr(std::min(hostPath.size(), fs().driveRoot.size()));
    std::replace(rest.begin(), rest.end(), '/', '\\');
    return "C:" + (rest.empty() ? std::string("\\") : rest);
}

void ResetFiles(const std::string &driveRoot)
{
    for (auto &entry : fs().handles) {
        close(entry.second.fd);
    }
    fs() = FileSystem();
    fs().driveRoot = driveRoot;
}

std::string FileHandlesText()
{
    std::string text;
    for (const auto &entry : fs().handles) {
        text += "file " + WindowsPathOf(entry.second.hostPath) + "\n";
    }
    return text;
}

std::string AttributesText()
{
    static const std::pair<DWORD, const char *> words[] = {
        {FILE_ATTRIBUTE_READONLY, "readonly"}, {FILE_ATTRIBUTE_HIDDEN, "hidden"}, {FILE_ATTRIBUTE_SYSTEM, "system"},
        {FILE_ATTRIBUTE_ARCHIVE, "archive"},   {FILE_ATTRIBUTE_NORMAL, "normal"},
    };
    std::string text;
    for (const auto &entry : fs().states) {
        const FileState &state = entry.second;
        if (!Exists(entry.first) ||
            (state.attributes == FILE_ATTRIBUTE_ARCHIVE && !state.locked && !state.isProtected)) {
            continue;
        }
        std::string line;
        for (const auto &word : words) {
            if ((state.attributes & word.first) != 0) {
                line += std::string(line.empty() ? "" : ",") + word.second;
            }
        }
        if (state.locked) {
            line += std::string(line.empty() ? "" : ",") + "locked";
        }
        if (state.isProtected) {
            line += std::string(line.empty() ? "" : ",") + "protected";
        }
        text += line + " " + WindowsPathOf(entry.first) + "\n";
    }
    return text;
}

void LoadAttributesText(const std::string &text)
{
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        size_t blank = line.find(' ');
        if (line.empty() || line[0] == '#' || blank == std::string::npos) {
            continue;
        }
        std::string hostPath;
        if (ResolvePath(line.substr(blank + 1).c_str(), &hostPath) != 0) {
            continue;
        }
        FileState state;
        DWORD bits = 0;
        std::istringstream words(line.substr(0, blank));
        std::string word;
        while (std::getline(words, word, ',')) {
            if (word == "readonly") {
                bits |= FILE_ATTRIBUTE_READONLY;
            } else if (word == "hidden") {
                bits |= FILE_ATTRIBUTE_HIDDEN;
            } else if (word == "system") {
                bits |= FILE_ATTRIBUTE_SYSTEM;
            } else if (word == "archive") {
                bits |= FILE_ATTRIBUTE_ARCHIVE;
            } else if (word == "normal") {
                bits |= FILE_ATTRIBUTE_NORMAL;
            } else if (word == "locked") {
                state.locked = true;
            } else if (word == "protected") {
                state.isProtected = true;
            }
        }
        state.attributes = bits != 0 ? bits : FILE_ATTRIBUTE_ARCHIVE;
        fs().states[hostPath] = state;
    }
}

// ---- Test API --------------------------------------------------------------

std::string DriveRoot()
{
    return fs().driveRoot;
}

void AddFolder(const std::string &path)
{
    std::string hostPath;
    DWORD error = Resolve(path.c_str(), &hostPath, true);
    if (error == ERROR_FILE_NOT_FOUND) {
        mkdir(hostPath.c_str(), 0755);
    }
}

void AddFile(const std::string &path, const std::string &content, DWORD attributes)
{
    std::string hostPath;
    DWORD error = Resolve(path.c_str(), &hostPath, true);
    if (error != 0 && error != ERROR_FILE_NOT_FOUND) {
        return;
    }
    WriteHostFile(hostPath, content);
    fs().states.erase(hostPath);
    if (attributes != FILE_ATTRIBUTE_ARCHIVE) {
        StateOf(hostPath).attributes = attributes;
    }
}

bool FileExists(const std::string &path)
{
    std::string hostPath;
    return ResolvePath(path.c_str(), &hostPath) == 0;
}

DWORD Attributes(const std::string &path)
{
    std::string hostPath;
    return ResolvePath(path.c_str(), &hostPath) == 0 ? AttributesOf(hostPath) : INVALID_FILE_ATTRIBUTES;
}

std::string FileContent(const std::string &path)
{
    std::string hostPath;
    return ResolvePath(path.c_str(), &hostPath) == 0 ? ReadHostFile(hostPath) : std::string();
}

void LockFile(const std::string &path)
{
    std::string hostPath;
    if (ResolvePath(path.c_str(), &hostPath) == 0) {
        StateOf(hostPath).locked = true;
    }
}

void ProtectFile(const std::string &path)
{
    std::string hostPath;
    if (ResolvePath(path.c_str(), &hostPath) == 0) {
        StateOf(hostPath).isProtected = true;
    }
}

std::vector<std::string> ListFiles()
{
    std::vector<std::string> files;
    if (!fs().driveRoot.empty()) {
        ListBelow(fs().driveRoot, &files);
    }
    std::sort(files.begin(), files.end());
    return files;
}

void SetWindowsDirectory(const std::string &path)
{
    fs().windowsDirectory = path;
}

} // namespace sim

using sim::Dec;
using sim::Quote;

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    return sim::DirectoryQuery("GetWindowsDirectoryA", sim::fs().windowsDirectory, lpBuffer, uSize);
}

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    const std::string &windows = sim::fs().windowsDirectory;
    return sim::DirectoryQuery("GetSystemDirectoryA", windows.empty() ? windows : windows + "\\System32", lpBuffer,
                               uSize);
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName)
{
    static const char *name = "GetFileAttributesA";
    std::string args = Quote(lpFileName);
    DWORD error = sim::Enter(name);
    std::string hostPath;
    if (error == 0) {
        error = sim::ResolvePath(lpFileName, &hostPath);
    }
    if (error != 0) {
        sim::SetError(error);
        sim::Record(name, args, "INVALID_FILE_ATTRIBUTES");
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = sim::AttributesOf(hostPath);
    sim::Record(name, args, sim::Hex(attributes));
    return attributes;
}

BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes)
{
    static const char *name = "SetFileAttributesA";
    std::string args = Quote(lpFileName) + ", " + sim::Hex(dwFileAttributes);
    DWORD error = sim::Enter(name);
    std::string hostPath;
    if (error == 0) {
        error = sim::ResolvePath(lpFileName, &hostPath);
    }
    if (error != 0) {
        return sim::ReturnBool(name, args, error);
    }
    // Bits that cannot be set (DIRECTORY and the like) are dropped; NORMAL
    // counts only alone; no bit left reads back as NORMAL.
    DWORD stored = dwFileAttributes & sim::SETTABLE_ATTRIBUTES;
    if ((stored & ~static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL)) != 0) {
        stored &= ~static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL);
    }
    sim::StateOf(hostPath).attributes = stored != 0 ? stored : FILE_ATTRIBUTE_NORMAL;
    return sim::ReturnBool(name, args, 0);
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName)
{
    static const char *name = "DeleteFileA";
    std::string args = Quote(lpFileName);
    DWORD error = sim::Enter(name);
    std::string hostPath;
    if (error == 0) {
        error = sim::ResolvePath(lpFileName, &hostPath);
    }
    if (error == 0) {
        auto state = sim::fs().states.find(hostPath);
        bool hasState = state != sim::fs().states.end();
        if (sim::IsDirectory(hostPath)) {
            error = ERROR_ACCESS_DENIED;
        } else if (hasState && ((state->second.attributes & FILE_ATTRIBUTE_READONLY) != 0 ||
                                state->second.isProtected)) {
            // Windows refuses to delete a read-only file, even for an administrator.
            error = ERROR_ACCESS_DENIED;
        } else if (sim::OpenWithoutDeleteSharing(hostPath)) {
            error = ERROR_SHARING_VIOLATION;
        } else if (unlink(hostPath.c_str()) != 0) {
            error = ERROR_ACCESS_DENIED;
        } else if (hasState) {
            sim::fs().states.erase(state);
        }
    }
    return sim::ReturnBool(name, args, error);
}

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
    static const char *name = "CreateFileA";
    std::string args = Quote(lpFileName) + ", " + sim::Hex(dwDesiredAccess) + ", " + sim::Hex(dwShareMode) + ", " +
                       Dec(dwCreationDisposition) + ", " + sim::Hex(dwFlagsAndAttributes);
    DWORD error = sim::Enter(name);
    if (dwDesiredAccess != GENERIC_READ || dwCreationDisposition != OPEN_EXISTING || lpSecurityAttributes != nullptr ||
        hTemplateFile != nullptr) {
        sim::RecordUnexpected(name, args, "only reading an existing file is modelled");
        return INVALID_HANDLE_VALUE;
    }
    std::string hostPath;
    if (error == 0) {
        error = sim::ResolvePath(lpFileName, &hostPath);
    }
    if (error == 0) {
        if (sim::IsDirectory(hostPath)) {
            error = ERROR_ACCESS_DENIED;
        } else {
            // Readers already open must share reading with us; a writer
            // elsewhere (a locked file) needs us to share writing.
            for (const auto &entry : sim::fs().handles) {
                if (entry.second.hostPath == hostPath && (entry.second.share & FILE_SHARE_READ) == 0) {
                    error = ERROR_SHARING_VIOLATION;
                }
            }
            auto state = sim::fs().states.find(hostPath);
            if (state != sim::fs().states.end() && state->second.locked && (dwShareMode & FILE_SHARE_WRITE) == 0) {
                error = ERROR_SHARING_VIOLATION;
            }
        }
    }
    int fd = -1;
    if (error == 0) {
        fd = open(hostPath.c_str(), O_RDONLY);
        if (fd < 0) {
            error = ERROR_ACCESS_DENIED;
        }
    }
    if (error != 0) {
        sim::SetError(error);
        sim::Record(name, args, "INVALID_HANDLE_VALUE");
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = reinterpret_cast<HANDLE>(sim::fs().nextHandle);
    sim::fs().nextHandle += 4;
    sim::fs().handles[reinterpret_cast<uintptr_t>(handle)] = sim::OpenFile{fd, hostPath, dwShareMode};
    sim::Record(name, args, sim::Ptr(handle));
    return handle;
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped)
{
    static const char *name = "ReadFile";
    std::string args = sim::Ptr(hFile) + ", " + Dec(nNumberOfBytesToRead);
    DWORD error = sim::Enter(name);
    auto found = sim::fs().handles.find(reinterpret_cast<uintptr_t>(hFile));
    if (found == sim::fs().handles.end() || lpOverlapped != nullptr || lpNumberOfBytesRead == nullptr) {
        sim::RecordUnexpected(name, args, "unknown file handle or unmodelled arguments");
        return FALSE;
    }
    *lpNumberOfBytesRead = 0;
    if (error != 0) {
        sim::SetError(error);
        sim::Record(name, args, "0");
        return FALSE;
    }
    DWORD total = 0;
    char *out = static_cast<char *>(lpBuffer);
    while (total < nNumberOfBytesToRead) {
        ssize_t got = read(found->second.fd, out + total, nNumberOfBytesToRead - total);
        if (got <= 0) {
            break;
        }
        total += static_cast<DWORD>(got);
    }
    *lpNumberOfBytesRead = total;
    sim::Record(name, args, "1 read " + Dec(total));
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    static const char *name = "CloseHandle";
    std::string args = sim::Ptr(hObject);
    DWORD error = sim::Enter(name);
    auto found = sim::fs().handles.find(reinterpret_cast<uintptr_t>(hObject));
    if (found == sim::fs().handles.end()) {
        sim::RecordUnexpected(name, args, "unknown handle");
        return FALSE;
    }
    // A close made to fail still releases the handle: what is checked for
    // leaks is whether the caller closed what it opened.
    close(found->second.fd);
    sim::fs().handles.erase(found);
    return sim::ReturnBool(name, args, error);
}
