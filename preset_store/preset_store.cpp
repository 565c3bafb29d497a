#include "preset_store.h"

#include "registry_key.h"

void PresetStore::ExportPreset(const char*, const char*, const char*) {}
void PresetStore::ImportPresetFile(const char*) {}
void PresetStore::DeletePreset(const char*, const char*) {}
LONG PresetStore::DeleteKeyTree(HKEY, const char*) {
    return ERROR_FILE_NOT_FOUND;
}
std::string PresetStore::OutputName(const char*, const char*, const char*) {
    return {};
}
bool PresetStore::ReadVersion1() {
    return false;
}
bool PresetStore::ReadVersion2() {
    return false;
}
