#include "core/bans/BanScope.h"

#include "core/WireText.h"
#include "engine/PrintableText.h"

std::string ShownName(const std::string& latin1) {
    return Latin1ToUtf8(Printable(latin1));
}

std::string ShownBan(const std::string& name, const std::string* address) {
    const std::string where = address ? ShownName(*address) : "address unknown";
    return name.empty() ? where : ShownName(name) + " (" + where + ")";
}
