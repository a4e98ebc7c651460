// Writes the program's desktop entry: its name, description and comment come
// from the program's own texts, turned from GBK into the UTF-8 that desktop
// entries hold. Usage: write_desktop_entry OUTPUT EXEC VERSION
#include <iconv.h>

#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "services/texts.h"

namespace {

std::string toUtf8(std::string_view gbk) {
    iconv_t converter = iconv_open("UTF-8", "GBK");
    if (converter == reinterpret_cast<iconv_t>(-1)) return {};
    std::string in(gbk);
    std::string out(gbk.size() * 3, '\0');
    char* inPos = in.data();
    char* outPos = out.data();
    std::size_t inLeft = in.size();
    std::size_t outLeft = out.size();
    const bool ok =
        iconv(converter, &inPos, &inLeft, &outPos, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(converter);
    return ok ? out.substr(0, out.size() - outLeft) : std::string();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: write_desktop_entry OUTPUT EXEC VERSION\n";
        return 2;
    }
    const std::string name = toUtf8(texts::windowTitle);  // the product name
    const std::string description = toUtf8(texts::fileDescription);
    const std::string comment = toUtf8(texts::versionComment);
    if (name.empty() || description.empty() || comment.empty()) {
        std::cerr << "write_desktop_entry: no GBK converter\n";
        return 1;
    }
    std::ofstream out(argv[1]);
    out << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Version=1.5\n"
        << "Name=" << name << '\n'
        << "GenericName=" << description << '\n'
        << "Comment=" << comment << '\n'
        << "Exec=" << argv[2] << '\n'
        << "Icon=jiyan-upgrader\n"
        << "Terminal=false\n"
        << "Categories=System;Security;\n"
        << "X-Program-Version=" << argv[3] << '\n';
    return out ? 0 : 1;
}
