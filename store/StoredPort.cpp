#include "store/StoredPort.h"

#include "store/RegistryStore.h"

namespace {

constexpr const char* kSettingsKey = "Software\\Fernwell\\";
constexpr const char* kCommPortValue = "CommPort";

}  // namespace

int ReadStoredPort(int fallback) {
    CRegistryStore store;
    store.SetRootKey(HKEY_CURRENT_USER);
    store.SetKey(kSettingsKey, 1);
    return store.ValueExists(kCommPortValue) ? store.ReadInt(kCommPortValue, fallback) : fallback;
}

bool WriteStoredPort(int port) {
    CRegistryStore store;
    store.SetRootKey(HKEY_CURRENT_USER);
    store.SetKey(kSettingsKey, 1);
    return store.WriteInt(kCommPortValue, port);
}

std::string ReadStoredText(const std::string& name) {
    CRegistryStore store;
    store.SetRootKey(HKEY_CURRENT_USER);
    return store.SetKey(kSettingsKey, 0) ? store.ReadString(name, "") : std::string();
}

bool WriteStoredText(const std::string& name, const std::string& text) {
    CRegistryStore store;
    store.SetRootKey(HKEY_CURRENT_USER);
    store.SetKey(kSettingsKey, 1);
    return store.WriteString(name, text);
}
