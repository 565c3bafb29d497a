// The preset store with the members that the tests reach into.
#pragma once

#include "preset_store.h"

class TestStore : public PresetStore {
public:
    using PresetStore::m_presetFile;
    using PresetStore::ReadVersion1;
    using PresetStore::ReadVersion2;
};
