#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reading the text files in which Wine keeps a registry hive ("system.reg",
// "user.reg"): key lines "[Software\\tolvek\\Kel] 1700000000", value lines
// "\"name\"=...", "@=..." for the unnamed value. Names and texts are UTF-16
// code units; key names compare without regard to ASCII case.
namespace wine_registry {

enum class ValueKind { text, expandableText, other };

struct Value {
    ValueKind kind = ValueKind::other;
    std::u16string data;    // texts only, as stored (a final zero included)
    std::size_t bytes = 0;  // the stored size
};

struct Key {
    std::vector<std::string> valueLines;       // copies: the key outlives the file text
    std::optional<std::u16string> linkTarget;  // a symbolic link key's target
};

// The key of that path ("\"-separated, relative to the file's root).
std::optional<Key> findKey(std::string_view file, std::u16string_view path);

// Every symbolic link key of the file, with its target ("\Registry\Machine\...").
std::vector<std::pair<std::u16string, std::u16string>> links(std::string_view file);

// The value of that name; the empty name is the unnamed value.
std::optional<Value> findValue(const Key& key, std::u16string_view name);

bool equalsIgnoreCase(std::u16string_view a, std::u16string_view b);

// "\\", "\"", "\n", "\xNNNN" and the like undone; other bytes read as UTF-8.
std::u16string unescape(std::string_view escaped);

}  // namespace wine_registry
