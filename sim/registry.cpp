// The registry: two trees (HKEY_LOCAL_MACHINE and HKEY_CURRENT_CONFIG) of
// keys and values with the Win32 rules the program relies on: names match
// without regard to case, opening never creates, a handle carries the
// access it was opened with, and values are raw bytes with a type.
#include <cstring>
#include <map>
#include <memory>

#include "sim/internal.h"

namespace {

struct Value {
  std::string name; // as first written, matched case-insensitively
  DWORD type;       // REG_SZ, REG_BINARY, REG_DWORD, ...
  std::string data; // exactly the stored bytes
};

struct Key {
  std::string name;                          // this key's own name
  std::vector<std::unique_ptr<Key>> subkeys; // children, in creation order
  std::vector<Value> values;                 // in creation order
  bool locked = false;                       // refuses opens that ask to write
};

// An open key handle.
struct OpenKey {
  Key *key;         // the key it names
  REGSAM access;    // what it was opened for
  std::string root; // "HKLM" or "HKCC"
  std::string path; // the path it was opened by, from the root
};

// The two roots the program uses.
Key machine, currentConfig;
// Handles open now.
sim::Handles<HKEY, OpenKey> handles;

std::vector<std::string> SplitPath(const std::string &path) {
  std::vector<std::string> parts;
  if (path.empty())
    return parts;
  size_t start = 0;
  for (;;) {
    size_t end = path.find('\\', start);
    parts.push_back(path.substr(start, end - start));
    if (end == std::string::npos)
      return parts;
    start = end + 1;
  }
}

Key *Child(Key *key, const std::string &name, bool create) {
  for (auto &sub : key->subkeys)
    if (sim::SameName(sub->name, name))
      return sub.get();
  if (!create)
    return nullptr;
  key->subkeys.push_back(std::make_unique<Key>());
  key->subkeys.back()->name = name;
  return key->subkeys.back().get();
}

Key *Walk(Key *key, const std::string &path, bool create) {
  for (const std::string &part : SplitPath(path)) {
    key = Child(key, part, create);
    if (!key)
      return nullptr;
  }
  return key;
}

Value *FindValue(Key *key, const std::string &name) {
  for (auto &value : key->values)
    if (sim::SameName(value.name, name))
      return &value;
  return nullptr;
}

void Store(Key *key, const std::string &name, DWORD type,
           const std::string &data) {
  Value *value = FindValue(key, name);
  if (value) {
    value->type = type;
    value->data = data;
  } else {
    key->values.push_back({name, type, data});
  }
}

Key *RootByName(const std::string &name) {
  if (name == "HKLM")
    return &machine;
  if (name == "HKCC")
    return &currentConfig;
  return nullptr;
}

// An existing key by its root's name ("HKLM", "HKCC") and path, or NULL.
Key *FindKey(const std::string &root, const std::string &path) {
  Key *base = RootByName(root);
  return base ? Walk(base, path, false) : nullptr;
}

// Resolves a handle the program passes: an open key or a predefined root.
bool Resolve(HKEY handle, OpenKey *out) {
  const REGSAM all = KEY_READ | KEY_WRITE;
  if (handle == HKEY_LOCAL_MACHINE) {
    *out = {&machine, all, "HKLM", ""};
  } else if (handle == HKEY_CURRENT_CONFIG) {
    *out = {&currentConfig, all, "HKCC", ""};
  } else {
    auto found = handles.find(handle);
    if (found == handles.end())
      return false;
    *out = found->second;
  }
  return true;
}

std::string HexBytes(const std::string &data) {
  std::string text;
  for (unsigned char c : data)
    text += sim::Format(" %02x", c);
  return text;
}

// The transcript form of a value's type and data.
std::string DataText(DWORD type, const std::string &data) {
  if (type == REG_SZ)
    return "sz " + sim::QuoteAnsi(data);
  if (type == REG_BINARY)
    return "binary" + HexBytes(data);
  if (type == REG_DWORD && data.size() == 4) {
    DWORD n;
    memcpy(&n, data.data(), 4);
    return sim::Format("dword %u", n);
  }
  return sim::Format("type%u", type) + HexBytes(data);
}

// The data part of a "value" statement, from word `i` on.
void ParseData(const sim::Words &w, size_t i, DWORD *type, std::string *data) {
  const std::string &kind = w[i].text;
  if (kind == "sz" || kind == "sz-bare") {
    *type = REG_SZ;
    *data = SimUtf8ToAnsi(w[i + 1].text);
    if (kind == "sz")
      *data += '\0';
  } else if (kind == "binary") {
    *type = REG_BINARY;
    unsigned char byte = 0;
    for (size_t k = i + 1; k < w.size(); ++k)
      if (ParseScenarioByte(w[k], &byte))
        *data += static_cast<char>(byte);
  } else {
    *type = REG_DWORD;
    DWORD word = static_cast<DWORD>(ScenarioNumber(w[i + 1]));
    data->assign(reinterpret_cast<const char *>(&word), 4);
  }
}

} // namespace

namespace sim {

bool SystemSetValue(const std::string &root, const std::string &path,
                    const std::string &name, DWORD type,
                    const std::string &data) {
  Key *key = FindKey(root, path);
  if (key)
    Store(key, name, type, data);
  return key != nullptr;
}

void ResetRegistry() {
  machine = Key();
  currentConfig = Key();
  handles.Reset(0x20000);
}

bool SetRegistry(const Words &w) {
  Key *root = RootByName(w[1].text);
  if (!root ||
      (w[0].text != "value" && w[0].text != "key" && w[0].text != "locked"))
    return false;
  Key *key = Walk(root, w[2].text, true);
  if (w[0].text == "value") {
    DWORD type;
    std::string data;
    ParseData(w, 4, &type, &data);
    Store(key, w[3].text, type, data);
  } else {
    key->locked |= w[0].text == "locked";
  }
  return true;
}

int KeyOpenCount() { return handles.Count(); }

} // namespace sim

bool SimRegistryGet(const std::string &root, const std::string &path,
                    const std::string &name, DWORD *type, std::string *data) {
  Key *key = FindKey(root, path);
  Value *value = key ? FindValue(key, name) : nullptr;
  if (!value)
    return false;
  if (type)
    *type = value->type;
  if (data)
    *data = value->data;
  return true;
}

bool SimRegistryKeyExists(const std::string &root, const std::string &path) {
  return FindKey(root, path) != nullptr;
}

// ulOptions is reserved and to be zero (RegOpenKeyEx in the Windows API
// reference of the time), which does not say what another value does;
// stricter on purpose, it is refused here, so that a program passing one
// fails its checks.
LONG WINAPI RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD options,
                          REGSAM access, PHKEY result) {
  SIM_ENTER(ERROR_ACCESS_DENIED);
  OpenKey base;
  if (!Resolve(root, &base))
    return ERROR_INVALID_HANDLE;
  if (!result || options != 0)
    return ERROR_INVALID_PARAMETER;
  std::string path = sim::Str(subKey);
  Key *key = Walk(base.key, path, false);
  if (!key)
    return ERROR_FILE_NOT_FOUND;
  if (key->locked && (access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)))
    return ERROR_ACCESS_DENIED;
  if (!base.path.empty() && !path.empty())
    path = base.path + "\\" + path;
  else if (path.empty())
    path = base.path;
  *result = handles.Add({key, access, base.root, path});
  return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExA(HKEY handle, LPCSTR name, LPDWORD reserved,
                             LPDWORD type, LPBYTE data, LPDWORD size) {
  SIM_ENTER(ERROR_ACCESS_DENIED);
  OpenKey open;
  if (!Resolve(handle, &open))
    return ERROR_INVALID_HANDLE;
  if (reserved || (data && !size))
    return ERROR_INVALID_PARAMETER;
  if (!(open.access & KEY_QUERY_VALUE))
    return ERROR_ACCESS_DENIED;
  Value *value = FindValue(open.key, sim::Str(name));
  if (!value)
    return ERROR_FILE_NOT_FOUND;
  if (type)
    *type = value->type;
  DWORD length = static_cast<DWORD>(value->data.size());
  if (!size)
    return ERROR_SUCCESS;
  LONG status = ERROR_SUCCESS;
  if (data && *size < length)
    status = ERROR_MORE_DATA;
  else if (data)
    memcpy(data, value->data.data(), length);
  *size = length;
  return status;
}

LONG WINAPI RegSetValueExA(HKEY handle, LPCSTR name, DWORD /*reserved*/,
                           DWORD type, const BYTE *data, DWORD size) {
  SIM_ENTER(ERROR_ACCESS_DENIED);
  OpenKey open;
  if (!Resolve(handle, &open))
    return ERROR_INVALID_HANDLE;
  std::string bytes(data ? reinterpret_cast<const char *>(data) : "",
                    data ? size : 0);
  LONG status = ERROR_SUCCESS;
  if (!data && size)
    status = ERROR_INVALID_PARAMETER;
  else if (!(open.access & KEY_SET_VALUE))
    status = ERROR_ACCESS_DENIED;
  else
    Store(open.key, sim::Str(name), type, bytes);
  sim::Emit("regset " + open.root + " " + sim::QuoteAnsi(open.path) + " " +
            sim::QuoteAnsi(sim::Str(name)) + " " + DataText(type, bytes) +
            sim::Format(" -> %d", status));
  return status;
}

LONG WINAPI RegCloseKey(HKEY handle) {
  SIM_ENTER(ERROR_ACCESS_DENIED);
  if (handle == HKEY_LOCAL_MACHINE || handle == HKEY_CURRENT_CONFIG)
    return ERROR_SUCCESS;
  return handles.erase(handle) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
