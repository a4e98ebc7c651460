#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>

#include "services/charset_posix.h"
#include "services/file_replace.h"
#include "services/gbk_text.h"
#include "services/system_services.h"
#include "services/wine_registry.h"

// The registry of the Windows programs this upgrader serves is the one of
// their Wine prefix: system.reg holds HKEY_LOCAL_MACHINE, user.reg the current
// user's hive, userdef.reg the default user's.

namespace {

using wine_registry::equalsIgnoreCase;

constexpr int maxLinkHops = 8;

std::optional<std::u16string> toUtf16(std::string_view gbkText) {
    const auto bytes = convertCharset("UTF-16LE", "GBK", gbkText, 1, {});
    if (!bytes) return std::nullopt;
    std::u16string text(bytes->size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(static_cast<unsigned char>((*bytes)[2 * i]) |
                                        static_cast<unsigned char>((*bytes)[2 * i + 1]) << 8);
    }
    return text;
}

std::string toGbk(std::u16string_view text) {
    std::string bytes;
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return convertCharset("GBK", "UTF-16LE", bytes, 2, "?").value_or(std::string{});
}

std::string prefixFolder() {
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix) return prefix;
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* user = ::getpwuid(::getuid());
        home = user ? user->pw_dir : "";
    }
    return std::string(home) + "/.wine";
}

std::u16string_view firstComponent(std::u16string_view path) {
    return path.substr(0, path.find(u'\\'));
}

std::u16string_view afterFirstComponent(std::u16string_view path) {
    const auto slash = path.find(u'\\');
    return slash == std::u16string_view::npos ? std::u16string_view{} : path.substr(slash + 1);
}

std::u16string join(std::u16string_view a, std::u16string_view b) {
    if (a.empty()) return std::u16string(b);
    if (b.empty()) return std::u16string(a);
    return std::u16string(a) + u'\\' + std::u16string(b);
}

// A key: which hive file, and the path inside it.
struct Location {
    std::string file;  // "system.reg", "user.reg", "userdef.reg"
    std::u16string path;
};

// The user.reg header names the current user's key below HKEY_USERS.
std::u16string currentUserId(const std::string& userHive) {
    const std::string_view marker = ";; All keys relative to \\\\User\\\\";
    const auto at = userHive.find(marker);
    if (at == std::string::npos) return {};
    const auto end = userHive.find_first_of("\r\n", at);
    return wine_registry::unescape(
        std::string_view(userHive).substr(at + marker.size(), end - at - marker.size()));
}

// "\Registry\Machine\X" and the like, the form of a link's target.
std::optional<Location> locateTarget(std::u16string_view target, const std::string& folder) {
    if (!target.empty() && target[0] == u'\\') target.remove_prefix(1);
    if (!equalsIgnoreCase(firstComponent(target), u"Registry")) return std::nullopt;
    target = afterFirstComponent(target);
    const auto hive = firstComponent(target);
    const auto rest = afterFirstComponent(target);
    if (equalsIgnoreCase(hive, u"Machine")) return Location{"system.reg", std::u16string(rest)};
    if (!equalsIgnoreCase(hive, u"User")) return std::nullopt;
    const auto user = firstComponent(rest);
    if (equalsIgnoreCase(user, u".Default")) {
        return Location{"userdef.reg", std::u16string(afterFirstComponent(rest))};
    }
    const auto userHive = readWholeFile(folder + "/user.reg");
    if (userHive && equalsIgnoreCase(user, currentUserId(*userHive))) {
        return Location{"user.reg", std::u16string(afterFirstComponent(rest))};
    }
    return std::nullopt;
}

std::optional<Location> locateRoot(int rootCode, std::u16string_view keyPath,
                                   const std::string& folder) {
    switch (rootCode) {
        case 1:
            return Location{"system.reg", join(u"Software\\Classes", keyPath)};
        case 2:
            return Location{
                "system.reg",
                join(u"System\\CurrentControlSet\\Hardware Profiles\\Current", keyPath)};
        case 4:
            return Location{"system.reg", std::u16string(keyPath)};
        case 5:
            return locateTarget(join(u"\\Registry\\User", keyPath), folder);
        default:
            return Location{"user.reg", std::u16string(keyPath)};
    }
}

// This program is a 32-bit one: in a 64-bit prefix it sees the 32-bit view of
// HKEY_LOCAL_MACHINE\Software, which Wine keeps below Wow6432Node.
std::u16string redirected32(std::u16string_view path) {
    const auto second = firstComponent(afterFirstComponent(path));
    if (!equalsIgnoreCase(firstComponent(path), u"Software") ||
        equalsIgnoreCase(second, u"Classes") || equalsIgnoreCase(second, u"Wow6432Node")) {
        return std::u16string(path);
    }
    return join(u"Software\\Wow6432Node", afterFirstComponent(path));
}

// Follows the links on the way to the key (CurrentControlSet and the like).
std::optional<wine_registry::Key> openKey(Location location, const std::string& folder) {
    for (int hop = 0; hop <= maxLinkHops; ++hop) {
        const auto hive = readWholeFile(folder + "/" + location.file);
        if (!hive) return std::nullopt;
        if (location.file == "system.reg" && hive->find("\n#arch=win64") != std::string::npos) {
            location.path = redirected32(location.path);
        }
        bool relinked = false;
        for (const auto& [link, target] : wine_registry::links(*hive)) {
            const bool whole = equalsIgnoreCase(link, location.path);
            const bool prefix = location.path.size() > link.size() &&
                                location.path[link.size()] == u'\\' &&
                                equalsIgnoreCase(location.path.substr(0, link.size()), link);
            if (!whole && !prefix) continue;
            auto next = locateTarget(target, folder);
            if (!next) return std::nullopt;
            next->path =
                join(next->path, location.path.substr(whole ? link.size() : link.size() + 1));
            location = *next;
            relinked = true;
            break;
        }
        if (!relinked) return wine_registry::findKey(*hive, location.path);
    }
    return std::nullopt;
}

// %NAME% replaced by the variable's value; an unknown name stays as written.
std::string expandEnvironment(std::string_view text) {
    std::string result;
    while (!text.empty()) {
        const auto open = gbk::find(text, '%');
        if (open == std::string_view::npos) break;
        const auto close = gbk::find(text, '%', open + 1);
        if (close == std::string_view::npos) break;
        const std::string name(text.substr(open + 1, close - open - 1));
        const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
        result += text.substr(0, open);
        if (value) {
            result += value;
            text.remove_prefix(close + 1);
        } else {
            result += text.substr(open, close - open);
            text.remove_prefix(close);
        }
    }
    result += text;
    return result;
}

}  // namespace

std::string readRegistryText(int rootCode, std::string_view path, std::string_view fallback) {
    const std::string fallbackText(fallback.substr(0, fallback.find('\0')));
    path = path.substr(0, path.find('\0'));
    const auto split = gbk::findLast(path, '\\');
    const auto keyText =
        split == std::string_view::npos ? std::string_view{} : path.substr(0, split);
    const auto nameText = split == std::string_view::npos ? path : path.substr(split + 1);
    const auto keyPath = toUtf16(keyText);
    const auto valueName = toUtf16(nameText);
    if (!keyPath || !valueName) return fallbackText;

    const std::string folder = prefixFolder();
    const auto location = locateRoot(rootCode, *keyPath, folder);
    if (!location) return fallbackText;
    const auto key = openKey(*location, folder);
    if (!key) return fallbackText;
    const auto value = wine_registry::findValue(*key, *valueName);
    if (!value || value->kind == wine_registry::ValueKind::other || value->bytes == 0) {
        return fallbackText;
    }
    const auto data = std::u16string_view(value->data).substr(0, value->data.find(u'\0'));
    const std::string text = toGbk(data);
    return value->kind == wine_registry::ValueKind::expandableText ? expandEnvironment(text) : text;
}
