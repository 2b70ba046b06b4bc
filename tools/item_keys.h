// The stable English names under which "photogeo info --json" reports the listed items, and the
// item numbers that the listing knows, in the order the tool lists them.
#ifndef PHOTOGEO_TOOLS_ITEM_KEYS_H
#define PHOTOGEO_TOOLS_ITEM_KEYS_H

#include <cstddef>

namespace cli {

struct ItemKey {
    int item;         // the listing's item number
    const char* key;  // the JSON key
};

// Every item number of the listing (0-13, 101-112, 201-209, 301-326), ascending.
extern const ItemKey kItemKeys[];
extern const std::size_t kItemKeyCount;

}  // namespace cli

#endif
