#include "services/charset_posix.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

std::optional<std::string> convertCharset(const char* to, const char* from, std::string_view input,
                                          std::size_t unitBytes, std::string_view replacement) {
    const iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string output(input.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    bool ok = true;
    while (inLeft > 0) {
        if (::iconv(cd, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1)) break;
        if ((errno != EILSEQ && errno != EINVAL) || replacement.empty() ||
            outLeft < replacement.size()) {
            ok = false;
            break;
        }
        // As the target system does for a character its code page lacks.
        const std::size_t skip = std::min(unitBytes, inLeft);
        in += skip;
        inLeft -= skip;
        out = std::copy(replacement.begin(), replacement.end(), out);
        outLeft -= replacement.size();
    }
    ::iconv_close(cd);
    if (!ok) return std::nullopt;
    output.resize(output.size() - outLeft);
    return output;
}

std::string gbkToNative(std::string_view gbk) {
    return convertCharset("UTF-8", "GBK", gbk, 1, {}).value_or(std::string(gbk));
}

std::string nativeToGbk(std::string_view native) {
    return convertCharset("GBK", "UTF-8", native, 1, {}).value_or(std::string(native));
}
