// The simulated registry: two root keys holding trees of keys and values,
// the 32-bit view as the subtree SOFTWARE\WOW6432Node, keys that deny full
// access, and a subset of the .reg export format for machine folders:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Velmorin\Ondrevix]
//   ;deny-full-access
//   @="default value"
//   "Name"="text"
//   "Count"=dword:00000001
//
// Values are kept as the text after '=' and written back unchanged. The
// comment ";deny-full-access" right under a key header marks a key that
// refuses KEY_ALL_ACCESS, as HKLM keys do for a user without admin rights.
#include <map>
#include <memory>
#include <sstream>

#include "sim_internal.h"

namespace sim {
namespace {

// Access a key that denies full access still grants: KEY_READ.
const DWORD KEY_READ_RIGHTS = 0x20019;

struct Value {
    std::string name; // empty: the default value, "@"
    std::string data; // as in a .reg file after '='
};

struct Key {
    std::string name;
    std::vector<Value> values;
    std::vector<std::shared_ptr<Key>> subkeys;
    bool denyFullAccess = false;
    Key *parent = nullptr;
    bool deleted = false;
};

struct OpenKey {
    std::shared_ptr<Key> key;
    REGSAM access;
};

struct Registry {
    std::shared_ptr<Key> localMachine;
    std::shared_ptr<Key> currentUser;
    std::map<uintptr_t, OpenKey> handles;
    uintptr_t nextHandle = 0x1000;
};

Registry &reg()
{
    static Registry instance;
    return instance;
}

std::vector<std::string> SplitPath(const std::string &path)
{
    std::vector<std::string> parts;
    std::string part;
    for (char ch : path) {
        if (ch == '\\') {
            if (!part.empty()) {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += ch;
        }
    }
    if (!part.empty()) {
        parts.push_back(part);
    }
    return parts;
}

std::shared_ptr<Key> FindChild(const Key &key, const std::string &name)
{
    for (const auto &child : key.subkeys) {
        if (SameName(child->name, name)) {
            return child;
        }
    }
    return nullptr;
}

std::shared_ptr<Key> Walk(std::shared_ptr<Key> key, const std::vector<std::string> &parts, bool create)
{
    for (const std::string &part : parts) {
        std::shared_ptr<Key> child = FindChild(*key, part);
        if (!child) {
            if (!create) {
                return nullptr;
            }
            child = std::make_shared<Key>();
            child->name = part;
            child->parent = key.get();
            key->subkeys.push_back(child);
        }
        key = child;
    }
    return key;
}

std::shared_ptr<Key> RootByName(const std::string &name)
{
    if (SameName(name, "HKEY_LOCAL_MACHINE") || SameName(name, "HKLM")) {
        return reg().localMachine;
    }
    if (SameName(name, "HKEY_CURRENT_USER") || SameName(name, "HKCU")) {
        return reg().currentUser;
    }
    return nullptr;
}

// A full path "HKEY_LOCAL_MACHINE\\A\\B" to its key.
std::shared_ptr<Key> KeyByPath(const std::string &path, bool create)
{
    std::vector<std::string> parts = SplitPath(path);
    if (parts.empty()) {
        return nullptr;
    }
    std::shared_ptr<Key> root = RootByName(parts[0]);
    if (!root) {
        return nullptr;
    }
    parts.erase(parts.begin());
    return Walk(root, parts, create);
}

std::string HandleText(HKEY key)
{
    if (key == HKEY_LOCAL_MACHINE) {
        return "HKEY_LOCAL_MACHINE";
    }
    if (key == HKEY_CURRENT_USER) {
        return "HKEY_CURRENT_USER";
    }
    return Ptr(key);
}

// The key behind a handle: a root, or a key this process opened.
std::shared_ptr<Key> KeyOfHandle(HKEY handle, REGSAM *access)
{
    if (handle == HKEY_LOCAL_MACHINE || handle == HKEY_CURRENT_USER) {
        if (access != nullptr) {
            *access = KEY_ALL_ACCESS;
        }
        return handle == HKEY_LOCAL_MACHINE ? reg().localMachine : reg().currentUser;
    }
    auto found = reg().handles.find(reinterpret_cast<uintptr_t>(handle));
    if (found == reg().handles.end()) {
        return nullptr;
    }
    if (access != nullptr) {
        *access = found->second.access;
    }
    return found->second.key;
}

void MarkDeleted(Key &key)
{
    key.deleted = true;
    for (auto &child : key.subkeys) {
        MarkDeleted(*child);
    }
}

std::string FullName(const Key &key)
{
    if (key.parent == nullptr) {
        return key.name;
    }
    return FullName(*key.parent) + "\\" + key.name;
}

void ExportKey(const Key &key, std::string &out)
{
    out += "[" + FullName(key) + "]\n";
    if (key.denyFullAccess) {
        out += ";deny-full-access\n";
    }
    for (const Value &value : key.values) {
        if (value.name.empty()) {
            out += "@=" + value.data + "\n";
        } else {
            std::string escaped;
            for (char ch : value.name) {
                if (ch == '\\' || ch == '"') {
                    escaped += '\\';
                }
                escaped += ch;
            }
            out += "\"" + escaped + "\"=" + value.data + "\n";
        }
    }
    out += "\n";
    for (const auto &child : key.subkeys) {
        ExportKey(*child, out);
    }
}

Value *FindValue(Key &key, const std::string &name)
{
    for (Value &value : key.values) {
        if (SameName(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

// A .reg value line's name: "@" or a quoted name with \\ and \" escapes.
bool ParseValueLine(const std::string &line, std::string *name, std::string *data)
{
    size_t pos = 0;
    if (line.compare(0, 2, "@=") == 0) {
        name->clear();
        *data = line.substr(2);
        return true;
    }
    if (line.empty() || line[0] != '"') {
        return false;
    }
    name->clear();
    for (pos = 1; pos < line.size() && line[pos] != '"'; ++pos) {
        if (line[pos] == '\\' && pos + 1 < line.size()) {
            ++pos;
        }
        *name += line[pos];
    }
    if (pos + 1 >= line.size() || line[pos + 1] != '=') {
        return false;
    }
    *data = line.substr(pos + 2);
    return true;
}

} // namespace

std::string RegistryHandlesText()
{
    std::string text;
    for (const auto &entry : reg().handles) {
        text += "key " + FullName(*entry.second.key) + "\n";
    }
    return text;
}

void ResetRegistry()
{
    Registry &r = reg();
    r.localMachine = std::make_shared<Key>();
    r.localMachine->name = "HKEY_LOCAL_MACHINE";
    r.currentUser = std::make_shared<Key>();
    r.currentUser->name = "HKEY_CURRENT_USER";
    r.handles.clear();
    r.nextHandle = 0x1000;
}

void AddKey(const std::string &key)
{
    KeyByPath(key, true);
}

void SetValue(const std::string &key, const std::string &name, const std::string &data)
{
    std::shared_ptr<Key> target = KeyByPath(key, true);
    std::string quoted = "\"";
    for (char ch : data) {
        if (ch == '\\' || ch == '"') {
            quoted += '\\';
        }
        quoted += ch;
    }
    quoted += "\"";
    if (Value *existing = FindValue(*target, name)) {
        existing->data = quoted;
    } else {
        target->values.push_back(Value{name, quoted});
    }
}

void DenyFullAccess(const std::string &key)
{
    KeyByPath(key, true)->denyFullAccess = true;
}

bool KeyExists(const std::string &key)
{
    return KeyByPath(key, false) != nullptr;
}

bool ValueExists(const std::string &key, const std::string &name)
{
    std::shared_ptr<Key> target = KeyByPath(key, false);
    return target && FindValue(*target, name) != nullptr;
}

std::string ExportRegistry()
{
    std::string out = "Windows Registry Editor Version 5.00\n\n";
    for (const auto &root : {reg().localMachine, reg().currentUser}) {
        for (const auto &child : root->subkeys) {
            ExportKey(*child, out);
        }
    }
    return out;
}

void ImportRegistry(const std::string &regText)
{
    std::istringstream in(regText);
    std::string line;
    std::shared_ptr<Key> current;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        if (line[0] == '[' && line.back() == ']') {
            current = KeyByPath(line.substr(1, line.size() - 2), true);
        } else if (line == ";deny-full-access") {
            if (current) {
                current->denyFullAccess = true;
            }
        } else if (line[0] == ';') {
            continue;
        } else if (current) {
            std::string name;
            std::string data;
            if (ParseValueLine(line, &name, &data)) {
                if (Value *existing = FindValue(*current, name)) {
                    existing->data = data;
                } else {
                    current->values.push_back(Value{name, data});
                }
            }
        }
    }
}

} // namespace sim

using sim::Dec;
using sim::Hex;
using sim::Quote;

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult)
{
    static const char *name = "RegOpenKeyExA";
    std::string args = sim::HandleText(hKey) + ", " + Quote(lpSubKey) + ", " + Dec(ulOptions) + ", " +
                       Hex(samDesired);
    LONG result = static_cast<LONG>(sim::Enter(name));
    std::shared_ptr<sim::Key> key;
    if (result == ERROR_SUCCESS) {
        key = sim::KeyOfHandle(hKey, nullptr);
        if (!key) {
            sim::RecordUnexpected(name, args, "unknown key handle");
            return ERROR_INVALID_HANDLE;
        }
        if (phkResult == nullptr) {
            result = ERROR_INVALID_PARAMETER;
        } else if ((samDesired & KEY_WOW64_32KEY) != 0 && (samDesired & KEY_WOW64_64KEY) != 0) {
            result = ERROR_INVALID_PARAMETER;
        }
    }
    if (result == ERROR_SUCCESS) {
        std::vector<std::string> parts = sim::SplitPath(lpSubKey != nullptr ? lpSubKey : "");
        // A 32-bit view request sees SOFTWARE through WOW6432Node.
        if ((samDesired & KEY_WOW64_32KEY) != 0 && key == sim::reg().localMachine && !parts.empty() &&
            sim::SameName(parts[0], "SOFTWARE") && (parts.size() < 2 || !sim::SameName(parts[1], "WOW6432Node"))) {
            parts.insert(parts.begin() + 1, "WOW6432Node");
        }
        key = key->deleted ? nullptr : sim::Walk(key, parts, false);
        if (!key) {
            result = ERROR_FILE_NOT_FOUND;
        } else if (key->denyFullAccess &&
                   (samDesired & ~static_cast<REGSAM>(sim::KEY_READ_RIGHTS | KEY_WOW64_32KEY | KEY_WOW64_64KEY)) != 0) {
            result = ERROR_ACCESS_DENIED;
        }
    }
    std::string resultText = Dec(result);
    if (result == ERROR_SUCCESS) {
        HKEY handle = reinterpret_cast<HKEY>(sim::reg().nextHandle);
        sim::reg().nextHandle += 4;
        sim::reg().handles[reinterpret_cast<uintptr_t>(handle)] = sim::OpenKey{key, samDesired};
        *phkResult = handle;
        resultText += " key " + sim::Ptr(handle);
    }
    sim::SetError(static_cast<DWORD>(result));
    sim::Record(name, args, resultText);
    return result;
}

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    static const char *name = "RegDeleteKeyA";
    std::string args = sim::HandleText(hKey) + ", " + Quote(lpSubKey);
    LONG result = static_cast<LONG>(sim::Enter(name));
    if (result == ERROR_SUCCESS) {
        std::shared_ptr<sim::Key> parent = sim::KeyOfHandle(hKey, nullptr);
        if (!parent) {
            sim::RecordUnexpected(name, args, "unknown key handle");
            return ERROR_INVALID_HANDLE;
        }
        std::vector<std::string> parts = sim::SplitPath(lpSubKey != nullptr ? lpSubKey : "");
        std::shared_ptr<sim::Key> key = parts.empty() || parent->deleted ? nullptr : sim::Walk(parent, parts, false);
        if (!key) {
            result = ERROR_FILE_NOT_FOUND;
        } else if (!key->subkeys.empty() || key->denyFullAccess) {
            // Windows deletes only a key without subkeys, and needs DELETE on it.
            result = ERROR_ACCESS_DENIED;
        } else {
            sim::Key *owner = key->parent;
            for (size_t i = 0; i < owner->subkeys.size(); ++i) {
                if (owner->subkeys[i] == key) {
                    owner->subkeys.erase(owner->subkeys.begin() + static_cast<long>(i));
                    break;
                }
            }
            sim::MarkDeleted(*key);
        }
    }
    return sim::ReturnStatus(name, args, result);
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    static const char *name = "RegDeleteValueA";
    std::string args = sim::HandleText(hKey) + ", " + Quote(lpValueName);
    LONG result = static_cast<LONG>(sim::Enter(name));
    if (result == ERROR_SUCCESS) {
        REGSAM access = 0;
        std::shared_ptr<sim::Key> key = sim::KeyOfHandle(hKey, &access);
        if (!key) {
            sim::RecordUnexpected(name, args, "unknown key handle");
            return ERROR_INVALID_HANDLE;
        }
        std::string valueName = lpValueName != nullptr ? lpValueName : "";
        if ((access & KEY_SET_VALUE) == 0 || key->denyFullAccess) {
            result = ERROR_ACCESS_DENIED;
        } else if (key->deleted) {
            result = ERROR_FILE_NOT_FOUND;
        } else {
            result = ERROR_FILE_NOT_FOUND;
            for (size_t i = 0; i < key->values.size(); ++i) {
                if (sim::SameName(key->values[i].name, valueName)) {
                    key->values.erase(key->values.begin() + static_cast<long>(i));
                    result = ERROR_SUCCESS;
                    break;
                }
            }
        }
    }
    return sim::ReturnStatus(name, args, result);
}

LONG WINAPI RegCloseKey(HKEY hKey)
{
    static const char *name = "RegCloseKey";
    std::string args = sim::HandleText(hKey);
    LONG result = static_cast<LONG>(sim::Enter(name));
    auto found = sim::reg().handles.find(reinterpret_cast<uintptr_t>(hKey));
    if (found == sim::reg().handles.end()) {
        sim::RecordUnexpected(name, args, "unknown key handle");
        return ERROR_INVALID_HANDLE;
    }
    // A close made to fail still releases the handle: what is checked for
    // leaks is whether the caller closed what it opened.
    sim::reg().handles.erase(found);
    return sim::ReturnStatus(name, args, result);
}
