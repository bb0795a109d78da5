// Buffer sizes and limits of the registration script interpreter.
#pragma once

#include <cstddef>

namespace morvane {

// Every token of a run, the value type token, a value's text and a skipped value.
inline constexpr std::size_t script_token_size = 4096;
// The name after "Val".
inline constexpr std::size_t script_value_name_size = 260;
// The key name remembered by the removing pass (copied with lstrcpynA, so cut to 259 bytes).
inline constexpr std::size_t script_key_name_size = 260;
// A variable's name between two "%" signs, with its terminator: at most 31 bytes.
inline constexpr std::size_t script_variable_name_size = 32;
// Subkey names enumerated while a key tree is deleted.
inline constexpr std::size_t script_subkey_name_size = 256;
// Value names enumerated to tell whether a key has named values.
inline constexpr std::size_t script_value_name_probe_size = 4096;
// Nesting of blocks. The registry holds no deeper key paths, so no installable
// script nests deeper; the limit keeps a hostile script from exhausting the stack.
inline constexpr unsigned script_max_block_depth = 512;

} // namespace morvane
