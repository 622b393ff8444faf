#include "sim/parameters.h"

#include <cctype>

namespace sim {

int ParameterByName(std::string_view name) {
    for (int k = 0; k < kParameterCount; ++k) {
        const std::string_view s = kParameters[size_t(k)].shortName;
        if (s.size() != name.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < s.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(s[i])) ==
                   std::tolower(static_cast<unsigned char>(name[i]));
        if (same)
            return k;
    }
    return -1;
}

}  // namespace sim
