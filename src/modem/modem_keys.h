// The numbered subkeys of the modem class key that exist. Windows does not renumber them when
// a modem is uninstalled, so the numbers have holes; they are listed, not counted up to the
// first one missing.
#pragma once

#include <vector>

class IRegistry;

// Numbers of the modem subkeys of one layout, ascending: the subkey names of four decimal
// digits below kMaxModemKeys ("0000" to "0254"); other names, such as "Properties", are not
// modems. Empty when the layout's base key does not exist. Where the base key exists but its
// subkeys cannot be listed, every number from 0 to kMaxModemKeys - 1: the caller tries each
// and passes over those that do not open.
std::vector<int> ListModemKeys(IRegistry& registry, bool bLegacy);

// The numbers of both layouts together, ascending and each once.
std::vector<int> ListModemKeysOfBothLayouts(IRegistry& registry);
