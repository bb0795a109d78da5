/* What registration leaves in the classes root, seen through the registry calls. */
#ifndef MORVANE_CLIENT_REGISTRY_STATE_H
#define MORVANE_CLIENT_REGISTRY_STATE_H

/* Creates another class's key under CLSID, which registration must leave alone. */
void create_sibling_class(void);

/* The entries that registration writes: ProgIDs, class key, server path, threading
 * model and type library, plus the sibling key unchanged. */
void check_registered_entries(const char *module_path);

/* After unregistration: the ProgID keys and the class key are gone, CLSID and the
 * sibling key stay. */
void check_entries_removed(void);

#endif
