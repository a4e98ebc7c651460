#include "download/path_text.h"

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool isLeadByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x81 && byte <= 0xFE;
}

}  // namespace

std::size_t lastSeparator(std::string_view path) {
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (isLeadByte(path[i]) && i + 1 < path.size())
            ++i;  // the trail byte of a double-byte character
        else if (isSeparator(path[i]))
            last = i;
    }
    return last;
}

bool endsWithSeparator(std::string_view path) {
    return !path.empty() && lastSeparator(path) == path.size() - 1;
}

std::string plainFileName(std::string_view suggested) {
    const std::size_t separator = lastSeparator(suggested);
    const std::string_view name =
        separator == std::string_view::npos ? suggested : suggested.substr(separator + 1);
    if (name.empty() || name == "." || name == "..") return {};
    return std::string(name);
}

std::optional<std::string> renamedPath(std::string_view path) {
    const std::size_t separator = lastSeparator(path);
    const std::size_t nameStart = separator == std::string_view::npos ? 0 : separator + 1;
    const std::string_view folder = path.substr(0, nameStart);
    const std::string_view name = path.substr(nameStart);
    const std::size_t dot = name.find('.');
    std::string base(name.substr(0, dot));

    int number = 1;
    const std::size_t open = base.rfind('(');
    if (!base.empty() && base.back() == ')' && open != std::string::npos) {
        const std::string_view digits =
            std::string_view(base).substr(open + 1, base.size() - open - 2);
        bool numeric = !digits.empty() && digits.size() <= 2;
        for (char c : digits) numeric = numeric && c >= '0' && c <= '9';
        if (numeric) {
            number = std::stoi(std::string(digits)) + 1;
            base.erase(open);
        }
    }
    if (number >= 100) return std::nullopt;

    std::string renamed(folder);
    renamed += base + "(" + std::to_string(number) + ")";
    if (dot != std::string_view::npos) renamed += name.substr(dot);
    if (renamed.size() > maxPathLength) return std::nullopt;
    return renamed;
}
