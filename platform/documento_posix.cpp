// Documents on POSIX: the front end opens them (the window through the desktop's services).
#include "platform/documento.h"

namespace bv {

std::optional<int> ApriDocumentoDiSistema(const std::string& /*file*/) {
    return std::nullopt;
}

}  // namespace bv
