// The two commands of reg. Each returns the program's exit status: 0 when it
// did its work, 1 when it failed (the reason is on standard error).
#pragma once

#include "key_argument.h"

#include <iosfwd>

// Lists the key's values (name, type, data) and its subkeys; with recurse,
// the values of every key of its subtree.
int run_query(const KeyArgument &key, bool recurse, std::ostream &out, std::ostream &err);

// Deletes the key with everything under it; without force it asks first.
int run_delete(const KeyArgument &key, bool force, std::istream &in, std::ostream &out,
               std::ostream &err);
